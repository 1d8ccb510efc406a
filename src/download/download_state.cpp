#include "download/download_state.h"

#include <algorithm>
#include <cctype>

namespace download {

bool NameLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) <
           std::toupper(static_cast<unsigned char>(y));
  });
}

db::DataSet& DownloadState::dataset(std::string_view name) {
  auto it = datasets_.find(name);
  if (it == datasets_.end())
    it = datasets_.emplace(std::string(name), db::DataSet(std::string(name))).first;
  return it->second;
}

}  // namespace download
