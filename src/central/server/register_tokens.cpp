#include "central/server/register_tokens.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace central::server {
namespace {

using Digest = std::array<unsigned char, 32>;

Digest sha256(std::string_view text) {
  Digest digest{};
  unsigned int length = 0;
  if (!EVP_Digest(text.data(), text.size(), digest.data(), &length, EVP_sha256(), nullptr) ||
      length != digest.size())
    throw std::runtime_error("cannot compute a SHA-256 digest");
  return digest;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool parseHexDigest(std::string_view hex, Digest& out) {
  if (hex.size() != out.size() * 2) return false;
  for (size_t i = 0; i < out.size(); ++i) {
    const int high = hexValue(hex[2 * i]), low = hexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    out[i] = static_cast<unsigned char>(high * 16 + low);
  }
  return true;
}

std::vector<std::string> fields(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string field; in >> field;) out.push_back(field);
  return out;
}

std::string joined(const std::vector<size_t>& numbers) {
  std::string out;
  for (size_t n : numbers) out += (out.empty() ? "" : ", ") + std::to_string(n);
  return out;
}

}  // namespace

RegisterTokens RegisterTokens::load(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the tokens file " + file.string());
  std::stringstream text;
  text << in.rdbuf();
  return parse(text.str(), file.string());
}

RegisterTokens RegisterTokens::parse(std::string_view text, const std::string& sourceName) {
  RegisterTokens tokens;
  std::vector<size_t> bad;
  std::map<Digest, size_t> seen;
  std::istringstream in{std::string(text)};
  size_t number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto parts = fields(line);
    if (parts.empty() || parts[0].front() == '#') continue;
    Entry entry;
    bool ok = parts.size() == 3;
    if (ok) {
      entry.who = {parts[0], parts[1]};
      const std::string_view token = parts[2];
      if (token.starts_with(kHashedPrefix))
        ok = parseHexDigest(token.substr(kHashedPrefix.size()), entry.digest);
      else
        entry.digest = sha256(token);
    }
    // One token naming two registers would make the caller ambiguous.
    if (ok) ok = seen.emplace(entry.digest, number).second;
    if (!ok) {
      bad.push_back(number);
      continue;
    }
    tokens.entries_.push_back(std::move(entry));
  }
  if (!bad.empty())
    throw std::runtime_error("tokens file " + sourceName + ": bad line(s) " + joined(bad) +
                             " (each line: branch register token, the token plain or " +
                             std::string(kHashedPrefix) + " and 64 hex digits, each token once)");
  if (tokens.entries_.empty())
    throw std::runtime_error("tokens file " + sourceName + " names no register");
  return tokens;
}

const RegisterIdentity* RegisterTokens::find(std::string_view token) const {
  const Digest presented = sha256(token);
  const RegisterIdentity* found = nullptr;
  // Every entry is compared in constant time, so timing tells nothing about near misses.
  for (const auto& entry : entries_)
    if (CRYPTO_memcmp(entry.digest.data(), presented.data(), presented.size()) == 0)
      found = &entry.who;
  return found;
}

std::string sha256Hex(std::string_view text) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char byte : sha256(text)) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  }
  return out;
}

}  // namespace central::server
