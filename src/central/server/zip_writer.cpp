#include "central/server/zip_writer.h"

#include <zip.h>

#include <stdexcept>

namespace central::server {
namespace {

// Statement files are long runs of alike lines: the fastest deflate level already shrinks them
// well, where the default level spent most of a file's build time searching for matches.
constexpr zip_uint32_t kCompressionLevel = 1;

std::string archiveError(zip_t* zip, const std::string& what) {
  return what + ": " + zip_strerror(zip);
}

}  // namespace

void writeZip(const std::filesystem::path& archive, const std::vector<ZipMember>& members,
              const std::string& password) {
  int code = 0;
  zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (!zip) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = "cannot create " + archive.string() + ": " + zip_error_strerror(&error);
    zip_error_fini(&error);
    throw std::runtime_error(text);
  }
  try {
    for (const auto& member : members) {
      zip_source_t* source = zip_source_file(zip, member.sourceFile.c_str(), 0, -1);
      if (!source)
        throw std::runtime_error(archiveError(zip, "cannot read " + member.sourceFile.string()));
      zip_int64_t index =
          zip_file_add(zip, member.name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
      if (index < 0) {
        zip_source_free(source);
        throw std::runtime_error(archiveError(zip, "cannot add " + member.name));
      }
      if (zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                   kCompressionLevel) < 0)
        throw std::runtime_error(archiveError(zip, "cannot compress " + member.name));
      if (!password.empty() && zip_file_set_encryption(zip, static_cast<zip_uint64_t>(index),
                                                       ZIP_EM_TRAD_PKWARE, password.c_str()) < 0)
        throw std::runtime_error(archiveError(zip, "cannot encrypt " + member.name));
    }
    if (zip_close(zip) < 0)
      throw std::runtime_error(archiveError(zip, "cannot write " + archive.string()));
  } catch (...) {
    zip_discard(zip);
    std::error_code ignored;
    std::filesystem::remove(archive, ignored);
    throw;
  }
}

}  // namespace central::server
