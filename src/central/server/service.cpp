#include "central/server/service.h"

#include <chrono>
#include <iostream>

#include "central/model/central_ddl.h"
#include "central/server/method_table.h"
#include "central/server/register_access.h"
#include "db/embedded/embedded.h"

namespace central::server {

namespace fs = std::filesystem;

Service::Service(ServerOptions options) : options_(std::move(options)) {
  if (!fs::exists(options_.databasePath))
    throw std::runtime_error("central database " + options_.databasePath + " does not exist");
  addChangeIndexes();
  giveBack(open());
  if (options_.filesDirectory.empty())
    options_.filesDirectory = (fs::path(options_.databasePath).parent_path() / "files").string();
  fs::create_directories(options_.filesDirectory);
  filesRoot_ = fs::canonical(options_.filesDirectory);
  removeExpiredFiles();
}

Service::~Service() = default;

// A world made before the change indexes existed gets them once, before any request reads it.
void Service::addChangeIndexes() const {
  auto db = db::embedded::open({.path = options_.databasePath, .create = false});
  try {
    if (size_t added = central::addMissingChangeIndexes(*db, central::centralModel()))
      std::cerr << "kivtab-central: created " << added << " change indexes in "
                << options_.databasePath << "\n";
  } catch (const std::exception& e) {
    throw std::runtime_error("creating the change indexes of " + options_.databasePath + ": " +
                             e.what());
  }
}

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

std::string Service::relativeName(const fs::path& file) const {
  return fs::relative(file, filesRoot_).generic_string();
}

void Service::recordOwner(const fs::path& directory, const std::string& branch) {
  std::lock_guard guard(ownersMutex_);
  owners_[relativeName(directory)] = branch;
}

void Service::checkFileAccess(std::string_view urlPath, const RegisterIdentity& caller) const {
  const fs::path relative = fs::path(relativeName(fileForUrl(urlPath)));
  auto part = relative.begin();
  if (part == relative.end() || *part != kGeneratedDir) return;  // structure packages: any register
  fs::path directory = *part;
  if (++part != relative.end()) directory /= *part;
  std::lock_guard guard(ownersMutex_);
  const auto owner = owners_.find(directory.generic_string());
  if (owner == owners_.end() || owner->second != caller.branch)
    throw AccessRefused(403, "access refused: " + std::string(urlPath) +
                                 " is not a file of branch " + caller.branch);
}

void Service::removeExpiredFiles() {
  const auto oldest = fs::file_time_type::clock::now() - options_.filesLifetime;
  for (const std::string_view area : {kGeneratedDir, kStructureDir}) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(filesRoot_ / area, error)) {
      std::error_code ignored;
      if (entry.last_write_time(ignored) >= oldest || ignored) continue;
      fs::remove_all(entry.path(), ignored);
    }
  }
  std::lock_guard guard(ownersMutex_);
  std::erase_if(owners_,
                [this](const auto& owner) { return !fs::exists(filesRoot_ / owner.first); });
}

std::string Service::uniqueName(std::string_view prefix) {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  return std::string(prefix) + std::to_string(ms) + "_" + std::to_string(++counter_);
}

}  // namespace central::server
