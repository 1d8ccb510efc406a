#include "outside/package/replace_file.h"

#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <string>

namespace outside {

void replaceFile(const std::filesystem::path& path, std::string_view content) {
  const std::filesystem::path temp =
      path.string() + ".tmp" + std::to_string(static_cast<long>(::getpid()));
  std::error_code ignored;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    if (!out) {
      std::filesystem::remove(temp, ignored);
      throw std::runtime_error("cannot write " + temp.string());
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::filesystem::remove(temp, ignored);
    throw std::runtime_error("cannot replace " + path.string() + ": " + ec.message());
  }
}

}  // namespace outside
