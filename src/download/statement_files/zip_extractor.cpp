#include "download/statement_files/zip_extractor.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "archive/zip_archive.h"

namespace download {
namespace fs = std::filesystem;
namespace {

struct MemberCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using Member = std::unique_ptr<zip_file_t, MemberCloser>;

std::string normalised(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

// Sizes as the archive's directory states them; refuses the archive when they exceed the limits.
void checkLimits(zip_t* z, zip_uint64_t count, const fs::path& archive, const fs::path& directory,
                 const ZipLimits& limits) {
  const std::string where = archive.string() + ": ";
  if (count > limits.maxMembers)
    throw std::runtime_error(where + std::to_string(count) + " members, more than the " +
                             std::to_string(limits.maxMembers) + " accepted");
  uint64_t total = 0;
  for (zip_uint64_t i = 0; i < count; ++i) {
    zip_stat_t stat;
    if (zip_stat_index(z, i, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
        !(stat.valid & ZIP_STAT_COMP_SIZE))
      throw std::runtime_error(where + "cannot read the size of member " + std::to_string(i + 1));
    total += stat.size;
    if (stat.size >= limits.ratioFromBytes &&
        stat.size / std::max<uint64_t>(stat.comp_size, 1) > limits.maxRatio)
      throw std::runtime_error(where + "member " + std::to_string(i + 1) + " expands more than " +
                               std::to_string(limits.maxRatio) + " times: refused as a zip bomb");
    if (total > limits.maxTotalBytes)
      throw std::runtime_error(where + "expands to more than " +
                               std::to_string(limits.maxTotalBytes) + " bytes");
  }
  std::error_code error;
  const auto space = fs::space(directory, error);
  if (!error && space.available < total + limits.spareBytes)
    throw std::runtime_error(where + "expands to " + std::to_string(total) + " bytes, more than " +
                             directory.string() + " has free");
}

uint64_t statedSize(zip_t* z, zip_uint64_t index) {
  zip_stat_t stat;
  if (zip_stat_index(z, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) return 0;
  return stat.size;
}

void writeMember(zip_t* z, zip_uint64_t index, const std::string& name, const fs::path& target) {
  Member member(zip_fopen_index(z, index, 0));
  if (!member) throw std::runtime_error("cannot read " + name + ": " + zip_strerror(z));
  fs::create_directories(target.parent_path());
  const fs::path partial = target.string() + ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + partial.string());
    std::vector<char> buffer(1 << 16);
    const uint64_t stated = statedSize(z, index);
    uint64_t written = 0;
    for (;;) {
      const zip_int64_t got = zip_fread(member.get(), buffer.data(), buffer.size());
      written += got > 0 ? static_cast<uint64_t>(got) : 0;
      if (got < 0 || written > stated) {
        const std::string text =
            got < 0 ? zip_file_strerror(member.get()) : "more bytes than its stated size";
        out.close();
        fs::remove(partial);
        throw std::runtime_error("cannot read " + name + ": " + text);
      }
      if (got == 0) break;
      out.write(buffer.data(), got);
    }
    if (!out.flush()) {
      out.close();
      fs::remove(partial);
      throw std::runtime_error("cannot write " + target.string());
    }
  }
  fs::rename(partial, target);
}

}  // namespace

bool escapesDirectory(std::string_view memberName) {
  const std::string name = normalised(memberName);
  if (name.empty() || name.front() == '/') return true;
  if (name.size() >= 2 && name[1] == ':') return true;  // a drive letter
  size_t start = 0;
  for (;;) {
    const size_t slash = name.find('/', start);
    if (name.substr(start, slash - start) == "..") return true;
    if (slash == std::string::npos) return false;
    start = slash + 1;
  }
}

void removeExtractionLeftovers(const fs::path& directory) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(directory, error)) {
    std::error_code ignored;
    if (entry.is_directory(ignored) || entry.path().extension() == ".part")
      fs::remove_all(entry.path(), ignored);
  }
}

size_t extractAll(const fs::path& archive, const fs::path& directory, std::string_view password,
                  const std::function<void(const std::string& member)>& onRefused,
                  const ZipLimits& limits) {
  archive::ZipArchive z = archive::openZip(archive, ZIP_RDONLY, "open");
  if (!password.empty() && zip_set_default_password(z.get(), std::string(password).c_str()) != 0)
    throw std::runtime_error("cannot set the password of " + archive.string());
  const zip_int64_t count = zip_get_num_entries(z.get(), 0);
  if (count <= 0) throw std::runtime_error(archive.string() + " holds no files");
  fs::create_directories(directory);
  checkLimits(z.get(), static_cast<zip_uint64_t>(count), archive, directory, limits);

  size_t written = 0;
  for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
    const char* stored = zip_get_name(z.get(), i, 0);
    if (!stored)
      throw std::runtime_error("cannot read " + archive.string() + ": " + zip_strerror(z.get()));
    const std::string name = normalised(stored);
    if (escapesDirectory(name)) {
      onRefused(stored);
      continue;
    }
    const fs::path target = directory / fs::path(name).relative_path();
    if (name.back() == '/') {
      fs::create_directories(target);
      continue;
    }
    writeMember(z.get(), i, name, target);
    ++written;
  }
  return written;
}

}  // namespace download
