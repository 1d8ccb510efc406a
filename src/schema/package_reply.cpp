#include "schema/package_reply.h"

#include <map>
#include <stdexcept>

namespace schema {
namespace {

constexpr size_t kTokenDirectoryLength = 22;

}  // namespace

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

PackageLocation parsePackageLocation(std::string_view reply) {
  std::map<std::string, std::string, std::less<>> values;
  size_t start = 0;
  while (start <= reply.size()) {
    size_t end = reply.find('&', start);
    if (end == std::string_view::npos) end = reply.size();
    const std::string_view pair = reply.substr(start, end - start);
    const size_t eq = pair.find('=');
    // The first pair of a name wins, as a look-up by name in a list of lines finds it.
    if (eq != std::string_view::npos)
      values.emplace(std::string(pair.substr(0, eq)), std::string(pair.substr(eq + 1)));
    start = end + 1;
  }
  auto value = [&](std::string_view name) {
    auto it = values.find(name);
    return it == values.end() ? std::string() : it->second;
  };
  return {value("Address"), value("Login"), value("Password"), value("Path"), value("FileDir")};
}

std::string packageDirectoryName(std::string_view token) {
  const std::string name(token.size() <= kTokenDirectoryLength
                             ? token
                             : token.substr(token.size() - kTokenDirectoryLength));
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of("/\\:") != std::string::npos || name.find("..") != std::string::npos)
    throw std::runtime_error("the package token \"" + std::string(token) +
                             "\" does not name a directory below the working directory");
  return name;
}

}  // namespace schema
