#include "outside/base64.h"

#include <array>
#include <stdexcept>

namespace outside {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> makeDecodeTable() {
  std::array<int8_t, 256> table{};
  for (auto& entry : table) entry = -1;
  for (int i = 0; i < 64; ++i) table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  return table;
}
constexpr auto kDecode = makeDecodeTable();

}  // namespace

std::string base64Encode(const db::Bytes& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t n = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  size_t rest = bytes.size() - i;
  if (rest == 1) {
    uint32_t n = bytes[i] << 16;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    uint32_t n = (bytes[i] << 16) | (bytes[i + 1] << 8);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += '=';
  }
  return out;
}

namespace {

// Decodes `text` into `out`, which has room for its bytes; returns how many were written. Each
// group is read whole before its bytes are written, and they land before it, so `out` may be
// the text's own storage.
size_t decodeInto(std::string_view text, uint8_t* out) {
  if (text.size() % 4 != 0)
    throw std::invalid_argument("base64 text length is not a multiple of 4");
  size_t written = 0;
  for (size_t i = 0; i < text.size(); i += 4) {
    bool last = i + 4 == text.size();
    int pad = 0;
    uint32_t n = 0;
    for (size_t k = 0; k < 4; ++k) {
      char c = text[i + k];
      if (c == '=' && last && k >= 2) {
        ++pad;
        n <<= 6;
        continue;
      }
      int8_t v = kDecode[static_cast<uint8_t>(c)];
      if (v < 0 || pad > 0) throw std::invalid_argument("invalid base64 text");
      n = (n << 6) | static_cast<uint32_t>(v);
    }
    out[written++] = static_cast<uint8_t>(n >> 16);
    if (pad < 2) out[written++] = static_cast<uint8_t>(n >> 8);
    if (pad < 1) out[written++] = static_cast<uint8_t>(n);
  }
  return written;
}

}  // namespace

db::Bytes base64Decode(std::string_view text) {
  db::Bytes out(text.size() / 4 * 3);
  out.resize(decodeInto(text, out.data()));
  return out;
}

std::string_view base64DecodeInPlace(std::string& text) {
  text.resize(decodeInto(text, reinterpret_cast<uint8_t*>(text.data())));
  return text;
}

}  // namespace outside
