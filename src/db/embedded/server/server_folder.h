#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// A folder stands for a database server: each NAME.db file in it is the database NAME.
namespace db::embedded::server {

inline constexpr std::string_view kDatabaseExtension = ".db";

// Throws db::Error (General) when `name` cannot name a database of the folder: empty, longer than
// a server name may be, or holding a path separator, "..", a drive colon or a control character.
void checkDatabaseName(std::string_view name);

// The file of database `name` in `folder`: an existing file whose name matches without regard to
// case, else folder/name.db. The name is checked first; the result never lies outside the folder.
std::filesystem::path databaseFile(const std::filesystem::path& folder, std::string_view name);

// The databases of the folder (its .db files), sorted without regard to case.
std::vector<std::string> databaseNames(const std::filesystem::path& folder);

}  // namespace db::embedded::server
