#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "db/dataset/packet.h"

namespace db {

// Little-endian reads that never pass the end of the packet: a short read raises PacketError
// naming the source and the byte offset.
class ByteReader {
 public:
  ByteReader(std::string_view data, std::string_view source) : data_(data), source_(source) {}

  size_t position() const { return pos_; }
  size_t remaining() const { return data_.size() - pos_; }

  [[gnu::always_inline]] std::string_view bytes(size_t n, const char* what) {
    if (n > remaining()) [[unlikely]]
      truncated(n, what);
    const std::string_view out(data_.data() + pos_, n);
    pos_ += n;
    return out;
  }

  // Fixed widths are copied with constant sizes so that the compiler inlines them.
  [[gnu::always_inline]] uint64_t unsignedLe(size_t width, const char* what) {
    const char* p = bytes(width, what).data();
    switch (width) {
      case 1:
        return static_cast<uint8_t>(*p);
      case 2:
        return load<uint16_t>(p);
      case 4:
        return load<uint32_t>(p);
      case 8:
        return load<uint64_t>(p);
      default: {
        uint64_t v = 0;
        for (size_t i = width; i-- > 0;) v = (v << 8) | static_cast<uint8_t>(p[i]);
        return v;
      }
    }
  }
  int64_t signedLe(size_t width, const char* what) {
    const uint64_t v = unsignedLe(width, what);
    if (width == 8) return static_cast<int64_t>(v);
    const uint64_t sign = uint64_t{1} << (width * 8 - 1);
    return static_cast<int64_t>((v ^ sign)) - static_cast<int64_t>(sign);
  }
  uint8_t u8(const char* what) { return static_cast<uint8_t>(unsignedLe(1, what)); }
  uint16_t u16(const char* what) { return static_cast<uint16_t>(unsignedLe(2, what)); }
  uint32_t u32(const char* what) { return static_cast<uint32_t>(unsignedLe(4, what)); }
  double f64(const char* what) { return std::bit_cast<double>(unsignedLe(8, what)); }

  [[noreturn, gnu::noinline, gnu::cold]] void truncated(size_t n, const char* what) const {
    fail(std::string("truncated packet: ") + what + " needs " + std::to_string(n) + " bytes, " +
         std::to_string(remaining()) + " left");
  }
  [[noreturn]] void fail(const std::string& what) const { failAt(pos_, what); }
  [[noreturn]] void failAt(size_t offset, const std::string& what) const {
    throw PacketError(std::string(source_) + ": offset " + std::to_string(offset) + ": " + what);
  }

 private:
  template <typename T>
  static T load(const char* p) {
    T v = 0;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(&v, p, sizeof v);
    } else {
      for (size_t i = sizeof v; i-- > 0;) v = static_cast<T>((v << 8) | static_cast<uint8_t>(p[i]));
    }
    return v;
  }

  std::string_view data_;
  std::string_view source_;
  size_t pos_ = 0;
};

class ByteWriter {
 public:
  std::string& out() { return out_; }
  size_t size() const { return out_.size(); }

  void unsignedLe(uint64_t v, size_t width) {
    for (size_t i = 0; i < width; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  }
  void u8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void u16(uint16_t v) { unsignedLe(v, 2); }
  void u32(uint32_t v) { unsignedLe(v, 4); }
  void f64(double v) { unsignedLe(std::bit_cast<uint64_t>(v), 8); }
  void bytes(std::string_view b) { out_.append(b); }
  void patchU16(size_t at, uint16_t v) {
    out_[at] = static_cast<char>(v & 0xFF);
    out_[at + 1] = static_cast<char>(v >> 8);
  }

 private:
  std::string out_;
};

}  // namespace db
