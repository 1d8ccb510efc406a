#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "db/core/connection.h"

namespace central::server {

struct ServerOptions {
  std::string databasePath;    // central database (embedded engine file)
  std::string filesDirectory;  // built files live here and are served below kFilesUrl
  std::string organisationNumber = "1";
  std::string databaseKind = "ORACLE";  // what getBanco answers: the central database's kind
  size_t maxRequestBytes = 64u << 20;
};

inline constexpr std::string_view kFilesUrl = "/files/";

// What every method shares: the central database (one connection, used under the lock, since
// the server answers several clients at once) and the directory of built files.
class Service {
 public:
  explicit Service(ServerOptions options);
  ~Service();

  const ServerOptions& options() const { return options_; }
  std::unique_lock<std::mutex> lock() { return std::unique_lock(mutex_); }
  db::Connection& db() { return *db_; }  // only while holding lock()

  const std::filesystem::path& filesRoot() const { return filesRoot_; }
  // The file below the files root that a URL path ("/files/a/b.zip") names.
  // Throws BadRequest for a path that would leave the root.
  std::filesystem::path fileForUrl(std::string_view urlPath) const;
  std::string urlForFile(const std::filesystem::path& file) const;
  // A name no other request of this server gets.
  std::string uniqueName(std::string_view prefix);

 private:
  ServerOptions options_;
  std::filesystem::path filesRoot_;
  std::mutex mutex_;
  std::unique_ptr<db::Connection> db_;
  std::atomic<uint64_t> counter_{0};
};

}  // namespace central::server
