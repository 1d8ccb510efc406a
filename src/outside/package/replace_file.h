#pragma once

#include <filesystem>
#include <string_view>

namespace outside {

// Writes `content` to a temporary file beside `path` and renames it over `path`, so readers see
// the old file or the new one, never half of it. Raises std::runtime_error naming the file.
void replaceFile(const std::filesystem::path& path, std::string_view content);

}  // namespace outside
