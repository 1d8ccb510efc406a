#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace central::server {

struct ZipMember {
  std::string name;                  // name inside the archive
  std::filesystem::path sourceFile;  // its content, read when the archive is written
};

// Writes a new archive (replacing one of the same name). With a password, every member is
// protected with the traditional PKWARE encryption. Throws std::runtime_error with libzip's text.
void writeZip(const std::filesystem::path& archive, const std::vector<ZipMember>& members,
              const std::string& password = {});

}  // namespace central::server
