#include "db/embedded/server/server_folder.h"

#include <algorithm>
#include <system_error>

#include "db/core/error.h"
#include "db/core/text.h"

namespace db::embedded::server {
namespace {

// SQL Server's sysname.
constexpr size_t kMaxNameLength = 128;

[[noreturn]] void refuse(std::string_view name, const std::string& why) {
  throw Error(ErrorKind::General, "Invalid database name '" + std::string(name) + "': " + why);
}

bool isDatabaseFile(const std::filesystem::directory_entry& entry) {
  std::error_code ec;
  return entry.is_regular_file(ec) &&
         iequals(entry.path().extension().string(), kDatabaseExtension);
}

}  // namespace

void checkDatabaseName(std::string_view name) {
  if (trim(name).empty()) refuse(name, "the name is empty");
  if (name.size() > kMaxNameLength) refuse(name, "the name is too long");
  if (name.find_first_of("/\\:") != std::string_view::npos)
    refuse(name, "a database name cannot hold a path");
  if (name.find("..") != std::string_view::npos || name == ".")
    refuse(name, "a database name cannot hold \"..\"");
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) refuse(name, "the name holds a control character");
}

std::filesystem::path databaseFile(const std::filesystem::path& folder, std::string_view name) {
  checkDatabaseName(name);
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    if (isDatabaseFile(entry) && iequals(entry.path().stem().string(), name)) return entry.path();
  return folder / (std::string(name) + std::string(kDatabaseExtension));
}

std::vector<std::string> databaseNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    if (isDatabaseFile(entry)) names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return upper(a) < upper(b); });
  return names;
}

}  // namespace db::embedded::server
