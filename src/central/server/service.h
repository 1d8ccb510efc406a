#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "central/server/register_tokens.h"
#include "db/core/connection.h"

namespace central::server {

struct ServerOptions {
  std::string databasePath;    // central database (embedded engine file)
  std::string filesDirectory;  // built files live here and are served below kFilesUrl
  std::string organisationNumber = "1";
  std::string databaseKind = "ORACLE";  // what getBanco answers: the central database's kind
  size_t maxRequestBytes = 16u << 20;
  // HTTPS when both are set (PEM files); plain HTTP otherwise.
  std::string tlsCertFile;
  std::string tlsKeyFile;
  // Registers and their tokens; empty: every caller is served without one.
  std::string tokensFile;
  // Built files nobody fetched and deleted are removed after this long.
  std::chrono::seconds filesLifetime{3600};

  bool tls() const { return !tlsCertFile.empty(); }
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
  // The path below the files root, for replies: absolute paths of the server never leave it.
  std::string relativeName(const std::filesystem::path& file) const;

  // Generated statement files belong to the branch they were built for.
  void recordOwner(const std::filesystem::path& directory, const std::string& branch);
  // Raises AccessRefused (403) when the file below urlPath belongs to another branch.
  void checkFileAccess(std::string_view urlPath, const RegisterIdentity& caller) const;
  // Removes built directories older than the files' lifetime.
  void removeExpiredFiles();
  // A name no other request of this server gets.
  std::string uniqueName(std::string_view prefix);

 private:
  ServerOptions options_;
  std::filesystem::path filesRoot_;
  std::mutex mutex_;
  std::unique_ptr<db::Connection> db_;
  std::atomic<uint64_t> counter_{0};
  mutable std::mutex ownersMutex_;
  std::map<std::string, std::string> owners_;  // generated directory (relative) -> branch
};

// The sub-directories of the files root.
inline constexpr std::string_view kGeneratedDir = "gen";
inline constexpr std::string_view kStructureDir = "struct";

}  // namespace central::server
