#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace platform {
namespace {

namespace fs = std::filesystem;

// FNV-1a: a short, stable file name for any identity text.
std::string hashName(std::string_view text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char name[17];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
  return name;
}

}  // namespace

fs::path InstanceLock::lockDirectory() {
  const char* dir = std::getenv("KIVTAB_LOCK_DIR");
  return dir && *dir ? fs::path(dir) : fs::path("/tmp");
}

InstanceLock::InstanceLock(std::string_view identity, const fs::path& directory)
    : path_(directory / ("kivtab-" + hashName(identity) + ".lock")) {
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  // Another user's lock file in a shared directory can still be locked through a read-only
  // descriptor.
  if (fd_ < 0 && errno == EACCES) fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0)
    throw std::system_error(errno, std::generic_category(),
                            "cannot create the lock file " + path_.string());
  held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace platform
