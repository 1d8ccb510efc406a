#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// Keeps one kivtab running per local database on this machine: an exclusive lock on a file
// named after the database in a machine-wide directory, held until the process ends (the
// kernel drops it even when the process dies). A program without a usable connection string
// locks its program directory instead.
class InstanceLock {
 public:
  // KIVTAB_LOCK_DIR when set, else /tmp.
  static std::filesystem::path lockDirectory();

  // Takes the lock of `identity` in `directory` when free; held() tells whether it was. Raises
  // std::system_error when the lock file cannot be created at all.
  InstanceLock(std::string_view identity, const std::filesystem::path& directory);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  bool held() const { return held_; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace platform
