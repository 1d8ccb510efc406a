#pragma once

#include <string>
#include <string_view>

namespace schema {

// Where GetTableStructMSDE put the package: its Name=Value pairs joined by "&".
struct PackageLocation {
  std::string address;   // host when the registry names none
  std::string login;     // shown in the error report only
  std::string password;  // never shown nor logged
  std::string path;      // URL prefix of the package directory
  std::string fileDir;   // the directory on the server; shown in the error report only
};

PackageLocation parsePackageLocation(std::string_view reply);

// The last 22 characters of the token (all of it when shorter): the package directory's name on
// the server and locally. Raises std::runtime_error when that name could leave the working
// directory (a separator, "..", a drive colon) or is empty.
std::string packageDirectoryName(std::string_view token);

bool startsWith(std::string_view text, std::string_view prefix);

}  // namespace schema
