#pragma once

#include <filesystem>
#include <string_view>

namespace platform {

// Writes `content` to a temporary file beside `path` and renames it over `path`, so readers see
// the old file or the new one, never half of it. The file keeps its mode and owner; a new one is
// readable by its owner only when ownerOnlyWhenNew, else as the umask allows. Raises
// std::runtime_error naming the file.
void replaceFile(const std::filesystem::path& path, std::string_view content,
                 bool ownerOnlyWhenNew = false);

}  // namespace platform
