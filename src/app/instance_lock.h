#pragma once

#include <filesystem>

namespace app {

// Keeps one kivtab running per program directory: an exclusive lock on a file there, held
// until the process ends (the kernel drops it even when the process dies).
class InstanceLock {
 public:
  static constexpr const char* kFileName = "kivtab.lock";

  // Takes the lock when free; held() tells whether it was. Raises std::system_error when the
  // lock file cannot be created at all.
  explicit InstanceLock(const std::filesystem::path& programDirectory);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  bool held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace app
