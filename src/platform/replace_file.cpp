#include "platform/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace platform {
namespace {

bool writeAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    content.remove_prefix(static_cast<size_t>(written));
  }
  return ::fsync(fd) == 0;
}

}  // namespace

// A rename or a new entry lasts through a power cut only once its folder is synced as well.
void syncFolder(const std::filesystem::path& directory) {
  const std::filesystem::path folder = directory.empty() ? "." : directory;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    throw std::runtime_error("cannot open folder " + folder.string() + ": " + std::strerror(errno));
  const bool synced = ::fsync(fd) == 0;
  const int error = errno;
  ::close(fd);
  if (!synced)
    throw std::runtime_error("cannot sync folder " + folder.string() + ": " + std::strerror(error));
}

void createDirectories(const std::filesystem::path& directory) {
  std::error_code ec;
  if (directory.empty() || std::filesystem::is_directory(directory, ec)) return;
  createDirectories(directory.parent_path());
  if (!std::filesystem::create_directory(directory, ec) && ec)
    throw std::runtime_error("cannot create folder " + directory.string() + ": " + ec.message());
  syncFolder(directory.parent_path());
}

namespace {

void writeAndRename(const std::filesystem::path& path, std::string_view content,
                    bool ownerOnlyWhenNew) {
  const std::filesystem::path temp =
      path.string() + ".tmp" + std::to_string(static_cast<long>(::getpid()));
  struct stat original {};
  const bool exists = ::stat(path.c_str(), &original) == 0;
  ::unlink(temp.c_str());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                        ownerOnlyWhenNew ? S_IRUSR | S_IWUSR : 0666);
  if (fd < 0)
    throw std::runtime_error("cannot write " + temp.string() + ": " + std::strerror(errno));
  // The replacement keeps the old file's mode and owner; it may not widen who reads it.
  bool ok = writeAll(fd, content);
  std::string failure = ok ? "" : "cannot write " + temp.string();
  if (ok && exists && ::fchmod(fd, original.st_mode & 07777) != 0)
    ok = false, failure = "cannot keep the mode of " + path.string();
  if (ok && exists && (original.st_uid != ::geteuid() || original.st_gid != ::getegid()) &&
      ::fchown(fd, original.st_uid, original.st_gid) != 0)
    ok = false, failure = "cannot keep the owner of " + path.string();
  if (::close(fd) != 0 && ok) ok = false, failure = "cannot write " + temp.string();
  if (!ok) {
    ::unlink(temp.c_str());
    throw std::runtime_error(failure);
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    ::unlink(temp.c_str());
    throw std::runtime_error("cannot replace " + path.string() + ": " + ec.message());
  }
}

}  // namespace

void replaceFile(const std::filesystem::path& path, std::string_view content,
                 bool ownerOnlyWhenNew) {
  writeAndRename(path, content, ownerOnlyWhenNew);
  syncFolder(path.parent_path());
}

void replaceFileInFolder(const std::filesystem::path& path, std::string_view content) {
  writeAndRename(path, content, false);
}

}  // namespace platform
