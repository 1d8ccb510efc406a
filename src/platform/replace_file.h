#pragma once

#include <filesystem>
#include <string_view>

namespace platform {

// Writes `content` to a temporary file beside `path` and renames it over `path`, so readers see
// the old file or the new one, never half of it; both the file and the rename are on disk when
// it returns, so a power cut afterwards keeps the new file. The file keeps its mode and owner; a
// new one is readable by its owner only when ownerOnlyWhenNew, else as the umask allows. Raises
// std::runtime_error naming the file.
void replaceFile(const std::filesystem::path& path, std::string_view content,
                 bool ownerOnlyWhenNew = false);

// The same for one of several files replaced in one folder: the file is on disk when it returns,
// its rename once the caller has synced the folder (syncFolder), one sync for them all.
void replaceFileInFolder(const std::filesystem::path& path, std::string_view content);

// Puts the folder's entries (new files, renames) on disk. Raises std::runtime_error naming it.
void syncFolder(const std::filesystem::path& directory);

// Creates `directory` and the folders missing above it, each new entry on disk before it
// returns. Raises std::runtime_error naming the folder.
void createDirectories(const std::filesystem::path& directory);

}  // namespace platform
