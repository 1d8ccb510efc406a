#pragma once

#include <zip.h>

#include <filesystem>
#include <memory>
#include <string_view>

namespace archive {

struct ZipDiscard {
  void operator()(zip_t* zip) const { zip_discard(zip); }
};
// An open archive. Dropping it discards every change: a writer releases it only after zip_close
// succeeded, so a failed write never leaves a half-written archive behind.
using ZipArchive = std::unique_ptr<zip_t, ZipDiscard>;

// Opens `path` with libzip's `flags` (ZIP_RDONLY, ZIP_CREATE | ZIP_TRUNCATE, ...). Throws
// std::runtime_error "cannot <verb> <path>: <libzip's reason>".
ZipArchive openZip(const std::filesystem::path& path, int flags, std::string_view verb);

}  // namespace archive
