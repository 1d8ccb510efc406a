#include "download/anticipation/text.h"

#include <stdexcept>

namespace download {

std::string fillStatement(
    std::string_view text,
    std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text[i] != '%') {
      out += text[i++];
      continue;
    }
    // The longest name wins, so %COLUMNS is never read as %COLUMN followed by "S".
    const std::pair<std::string_view, std::string_view>* match = nullptr;
    for (const auto& entry : values)
      if (text.substr(i + 1, entry.first.size()) == entry.first &&
          (match == nullptr || entry.first.size() > match->first.size()))
        match = &entry;
    if (match == nullptr)
      throw std::logic_error("statement placeholder without value: " + std::string(text));
    out += match->second;
    i += 1 + match->first.size();
  }
  return out;
}

}  // namespace download
