#include "central/server/service.h"

#include <chrono>

#include "central/server/method_table.h"
#include "db/embedded/embedded.h"

namespace central::server {

namespace fs = std::filesystem;

Service::Service(ServerOptions options) : options_(std::move(options)) {
  if (!fs::exists(options_.databasePath))
    throw std::runtime_error("central database " + options_.databasePath + " does not exist");
  giveBack(open());
  if (options_.filesDirectory.empty())
    options_.filesDirectory = (fs::path(options_.databasePath).parent_path() / "files").string();
  fs::create_directories(options_.filesDirectory);
  filesRoot_ = fs::canonical(options_.filesDirectory);
}

Service::~Service() = default;

std::unique_ptr<db::Connection> Service::open() const {
  return db::embedded::open({.path = options_.databasePath, .create = false, .readsOnly = true});
}

std::unique_ptr<ReadLease> Service::read() {
  std::unique_ptr<db::Connection> connection;
  {
    std::lock_guard guard(poolMutex_);
    if (!idle_.empty()) {
      connection = std::move(idle_.back());
      idle_.pop_back();
    }
  }
  if (!connection) connection = open();
  return std::make_unique<ReadLease>(*this, std::move(connection));
}

void Service::giveBack(std::unique_ptr<db::Connection> connection) {
  std::lock_guard guard(poolMutex_);
  idle_.push_back(std::move(connection));
}

ReadLease::ReadLease(Service& service, std::unique_ptr<db::Connection> connection)
    : service_(service), connection_(std::move(connection)) {
  connection_->begin();
}

ReadLease::~ReadLease() {
  try {
    connection_->rollback();
    service_.giveBack(std::move(connection_));
  } catch (const std::exception&) {
    // A connection that cannot end its transaction is not reused; the next lease opens another.
  }
}

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
