#include "central/server/zip_writer.h"

#include <stdexcept>

#include "archive/zip_archive.h"

namespace central::server {
namespace {

// Statement files are long runs of alike lines: the fastest deflate level already shrinks them
// well, where the default level spent most of a file's build time searching for matches.
constexpr zip_uint32_t kCompressionLevel = 1;

std::string archiveError(zip_t* zip, const std::string& what) {
  return what + ": " + zip_strerror(zip);
}

}  // namespace

void writeZip(const std::filesystem::path& path, const std::vector<ZipMember>& members,
              const std::string& password) {
  archive::ZipArchive zip = archive::openZip(path, ZIP_CREATE | ZIP_TRUNCATE, "create");
  try {
    for (const auto& member : members) {
      zip_source_t* source = zip_source_file(zip.get(), member.sourceFile.c_str(), 0, -1);
      if (!source)
        throw std::runtime_error(
            archiveError(zip.get(), "cannot read " + member.sourceFile.string()));
      zip_int64_t index =
          zip_file_add(zip.get(), member.name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
      if (index < 0) {
        zip_source_free(source);
        throw std::runtime_error(archiveError(zip.get(), "cannot add " + member.name));
      }
      if (zip_set_file_compression(zip.get(), static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                   kCompressionLevel) < 0)
        throw std::runtime_error(archiveError(zip.get(), "cannot compress " + member.name));
      if (!password.empty() && zip_file_set_encryption(zip.get(), static_cast<zip_uint64_t>(index),
                                                       ZIP_EM_TRAD_PKWARE, password.c_str()) < 0)
        throw std::runtime_error(archiveError(zip.get(), "cannot encrypt " + member.name));
    }
    if (zip_close(zip.get()) < 0)
      throw std::runtime_error(archiveError(zip.get(), "cannot write " + path.string()));
    zip.release();
  } catch (...) {
    zip.reset();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    throw;
  }
}

}  // namespace central::server
