#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace download {

// Extracts every member of a zip archive (optionally protected by a password with the
// traditional PKWARE encryption) below a directory, creating sub-directories and keeping stored
// paths. A member whose path is absolute or climbs out with ".." is refused: reported through
// onRefused and skipped. Raises std::runtime_error naming the archive (and member) when the
// archive cannot be opened or read, is empty, or the password is wrong; members already written
// stay, and a member being written when it failed leaves nothing behind.
// Returns the number of files written.
size_t extractAll(const std::filesystem::path& archive, const std::filesystem::path& directory,
                  std::string_view password,
                  const std::function<void(const std::string& member)>& onRefused);

// True when the stored member name would land outside the extraction directory.
bool escapesDirectory(std::string_view memberName);

}  // namespace download
