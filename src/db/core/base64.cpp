#include "db/core/base64.h"

#include <array>
#include <cstdint>
#include <stdexcept>

namespace db {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> makeDecodeTable() {
  std::array<int8_t, 256> t{};
  for (auto& v : t) v = -1;
  for (int i = 0; i < 64; ++i) t[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  return t;
}

constexpr auto kDecode = makeDecodeTable();

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string base64Encode(std::string_view bytes) {
  std::string out;
  base64Append(out, bytes);
  return out;
}

void base64Append(std::string& out, std::string_view bytes) {
  const size_t from = out.size();
  out.resize(from + (bytes.size() + 2) / 3 * 4);
  const auto* in = reinterpret_cast<const uint8_t*>(bytes.data());
  char* to = out.data() + from;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3, to += 4) {
    const uint32_t v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
    to[0] = kAlphabet[v >> 18];
    to[1] = kAlphabet[(v >> 12) & 63];
    to[2] = kAlphabet[(v >> 6) & 63];
    to[3] = kAlphabet[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = in[i] << 16;
    if (i + 1 < bytes.size()) v |= in[i + 1] << 8;
    to[0] = kAlphabet[v >> 18];
    to[1] = kAlphabet[(v >> 12) & 63];
    to[2] = i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    to[3] = '=';
  }
}

std::string base64Encode(const Bytes& bytes) {
  return base64Encode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

namespace {

// Decodes `text` into `out`, which has room for its bytes; returns how many were written, or
// nothing when the text is not base64. Each byte lands behind the characters it comes from, so
// `out` may be the text's own storage.
std::optional<size_t> decodeInto(std::string_view text, Base64Blanks blanks, char* out) {
  size_t written = 0;
  uint32_t acc = 0;
  int bits = 0;
  size_t padding = 0;
  size_t symbols = 0;
  for (const char c : text) {
    if (blanks == Base64Blanks::skip && isBlank(c)) continue;
    if (c == '=') {
      ++padding;
      ++symbols;
      continue;
    }
    if (padding > 0) return std::nullopt;  // data after padding
    const int8_t v = kDecode[static_cast<uint8_t>(c)];
    if (v < 0) return std::nullopt;
    ++symbols;
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out[written++] = static_cast<char>((acc >> bits) & 0xFF);
    }
  }
  if (symbols % 4 != 0 || padding > 2) return std::nullopt;
  return written;
}

// The remote protocol's form: no blanks, and a fault says what it is. Whole groups of four
// characters are decoded at once, the last one (which may hold padding) on its own; a group
// overwrites only characters already read, so `out` may be the text's own storage.
size_t decodeStrict(std::string_view text, char* out) {
  if (text.size() % 4 != 0)
    throw std::invalid_argument("base64 text length is not a multiple of 4");
  if (text.empty()) return 0;
  const auto* in = reinterpret_cast<const uint8_t*>(text.data());
  const size_t whole = text.size() - 4;
  size_t written = 0;
  for (size_t i = 0; i < whole; i += 4) {
    const int32_t v = (kDecode[in[i]] << 18) | (kDecode[in[i + 1]] << 12) |
                      (kDecode[in[i + 2]] << 6) | kDecode[in[i + 3]];
    // A character outside the alphabet decodes to -1, which sets the sign bit.
    if (v < 0) throw std::invalid_argument("invalid base64 text");
    out[written] = static_cast<char>(v >> 16);
    out[written + 1] = static_cast<char>(v >> 8);
    out[written + 2] = static_cast<char>(v);
    written += 3;
  }
  const auto last = decodeInto(text.substr(whole), Base64Blanks::reject, out + written);
  if (!last) throw std::invalid_argument("invalid base64 text");
  return written + *last;
}

}  // namespace

std::optional<std::string> base64Decode(std::string_view text, Base64Blanks blanks) {
  std::string out(text.size() / 4 * 3 + 3, '\0');
  const auto written = decodeInto(text, blanks, out.data());
  if (!written) return std::nullopt;
  out.resize(*written);
  return out;
}

Bytes base64DecodeBytes(std::string_view text) {
  Bytes out(text.size() / 4 * 3);
  out.resize(decodeStrict(text, reinterpret_cast<char*>(out.data())));
  return out;
}

std::string_view base64DecodeInPlace(std::string& text) {
  text.resize(decodeStrict(text, text.data()));
  return text;
}

}  // namespace db
