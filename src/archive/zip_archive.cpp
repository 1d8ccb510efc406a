#include "archive/zip_archive.h"

#include <stdexcept>
#include <string>

namespace archive {

ZipArchive openZip(const std::filesystem::path& path, int flags, std::string_view verb) {
  int code = 0;
  zip_t* zip = zip_open(path.c_str(), flags, &code);
  if (zip) return ZipArchive(zip);
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text =
      "cannot " + std::string(verb) + " " + path.string() + ": " + zip_error_strerror(&error);
  zip_error_fini(&error);
  throw std::runtime_error(text);
}

}  // namespace archive
