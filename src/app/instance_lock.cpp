#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace app {

InstanceLock::InstanceLock(const std::filesystem::path& programDirectory) {
  const std::filesystem::path path = programDirectory / kFileName;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0)
    throw std::system_error(errno, std::generic_category(),
                            "cannot create the lock file " + path.string());
  held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace app
