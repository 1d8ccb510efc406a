#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace central::server {

// Who a presented token belongs to.
struct RegisterIdentity {
  std::string branch;
  std::string cashRegister;
};

// The tokens file: one register per line, "branch register token", where the token is either
// the text the register presents or "sha256:" and the hex digest of that text. Blank lines and
// lines starting with "#" are skipped. Only digests are kept in memory.
class RegisterTokens {
 public:
  static constexpr std::string_view kHashedPrefix = "sha256:";

  // Raises std::runtime_error naming the file and every bad line by its number, never by its
  // content (a line may hold a token).
  static RegisterTokens load(const std::filesystem::path& file);
  static RegisterTokens parse(std::string_view text, const std::string& sourceName);

  // The register the token belongs to; nullptr for an unknown token.
  const RegisterIdentity* find(std::string_view token) const;
  size_t size() const { return entries_.size(); }

 private:
  using Digest = std::array<unsigned char, 32>;
  struct Entry {
    RegisterIdentity who;
    Digest digest;
  };
  std::vector<Entry> entries_;
};

// Lower-case hex of the SHA-256 of `text`, for writing hashed tokens files.
std::string sha256Hex(std::string_view text);

}  // namespace central::server
