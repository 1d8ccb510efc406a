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
#include <vector>

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

class Service;

// One request's own connection to the central database, inside a read transaction of its own:
// requests run side by side, each reading one consistent snapshot. The connection goes back to
// the service's pool when the lease ends.
class ReadLease {
 public:
  ReadLease(Service& service, std::unique_ptr<db::Connection> connection);
  ~ReadLease();
  ReadLease(const ReadLease&) = delete;
  ReadLease& operator=(const ReadLease&) = delete;
  db::Connection& db() { return *connection_; }

 private:
  Service& service_;
  std::unique_ptr<db::Connection> connection_;
};

// What every method shares: the central database, read through one pooled connection per
// request being answered, and the directory of built files.
class Service {
 public:
  explicit Service(ServerOptions options);
  ~Service();

  const ServerOptions& options() const { return options_; }
  // Nothing a method does writes to the central database, so no request waits for another.
  std::unique_ptr<ReadLease> read();

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
  friend class ReadLease;
  std::unique_ptr<db::Connection> open() const;
  void addChangeIndexes() const;
  void giveBack(std::unique_ptr<db::Connection> connection);

  ServerOptions options_;
  std::filesystem::path filesRoot_;
  std::mutex poolMutex_;
  std::vector<std::unique_ptr<db::Connection>> idle_;
  std::atomic<uint64_t> counter_{0};
  mutable std::mutex ownersMutex_;
  std::map<std::string, std::string> owners_;  // generated directory (relative) -> branch
};

// The sub-directories of the files root.
inline constexpr std::string_view kGeneratedDir = "gen";
inline constexpr std::string_view kStructureDir = "struct";

}  // namespace central::server
