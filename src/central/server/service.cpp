#include "central/server/service.h"

#include <chrono>

#include "central/server/method_table.h"
#include "db/embedded/embedded.h"

namespace central::server {

namespace fs = std::filesystem;

Service::Service(ServerOptions options) : options_(std::move(options)) {
  if (!fs::exists(options_.databasePath))
    throw std::runtime_error("central database " + options_.databasePath + " does not exist");
  db_ = db::embedded::open({.path = options_.databasePath, .create = false});
  if (options_.filesDirectory.empty())
    options_.filesDirectory = (fs::path(options_.databasePath).parent_path() / "files").string();
  fs::create_directories(options_.filesDirectory);
  filesRoot_ = fs::canonical(options_.filesDirectory);
}

Service::~Service() = default;

fs::path Service::fileForUrl(std::string_view urlPath) const {
  if (urlPath.substr(0, kFilesUrl.size()) != kFilesUrl)
    throw BadRequest("\"" + std::string(urlPath) + "\" is not a path of the server's files");
  fs::path relative(std::string(urlPath.substr(kFilesUrl.size())));
  for (const auto& part : relative) {
    if (part == ".." || part.has_root_directory() || part.has_root_name())
      throw BadRequest("\"" + std::string(urlPath) + "\" leaves the server's files");
  }
  return filesRoot_ / relative.relative_path();
}

std::string Service::urlForFile(const fs::path& file) const {
  return std::string(kFilesUrl) + fs::relative(file, filesRoot_).generic_string();
}

std::string Service::uniqueName(std::string_view prefix) {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  return std::string(prefix) + std::to_string(ms) + "_" + std::to_string(++counter_);
}

}  // namespace central::server
