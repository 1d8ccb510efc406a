#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace download {

// What an archive may unpack to, checked from its directory before anything is written and again
// while writing (a member's stored size may lie): a zip bomb fails instead of filling the disk.
struct ZipLimits {
  size_t maxMembers = 64;
  uint64_t maxTotalBytes = uint64_t{4} << 30;
  // Uncompressed to compressed size, for members large enough to matter. Statement files
  // compress about twenty to one; a bomb a thousand to one.
  uint64_t maxRatio = 500;
  uint64_t ratioFromBytes = uint64_t{1} << 20;
  // Left free on the disk after extraction.
  uint64_t spareBytes = uint64_t{64} << 20;
};

// Extracts every member of a zip archive (optionally protected by a password with the
// traditional PKWARE encryption) below a directory, creating sub-directories and keeping stored
// paths. A member whose path is absolute or climbs out with ".." is refused: reported through
// onRefused and skipped. Raises std::runtime_error naming the archive (and member) when the
// archive cannot be opened or read, is empty, or the password is wrong; members already written
// stay, and a member being written when it failed leaves nothing behind.
// An archive over `limits` raises before any member is written.
// Returns the number of files written.
size_t extractAll(const std::filesystem::path& archive, const std::filesystem::path& directory,
                  std::string_view password,
                  const std::function<void(const std::string& member)>& onRefused,
                  const ZipLimits& limits = {});

// Removes what an interrupted extraction left in `directory`: ".part" files and sub-folders.
void removeExtractionLeftovers(const std::filesystem::path& directory);

// True when the stored member name would land outside the extraction directory.
bool escapesDirectory(std::string_view memberName);

}  // namespace download
