#pragma once

// The fixed parts of the binary data packet, shared by its reader and its writers.
#include <cstdint>
#include <string_view>
#include <vector>

#include "db/core/value.h"

namespace db::binary_packet {

constexpr char kMagic[] = {'\x96', '\x19', '\xE0', '\xBD'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kHeaderWord = 24;  // found in every packet; meaning unknown, kept as is
constexpr uint32_t kTrailerWord = 3;

// Record status bits. Original images and deleted rows are in the packet but not presented.
constexpr uint8_t kStatusOriginal = 0x01;
constexpr uint8_t kStatusDeleted = 0x02;

// Field flags, two bits per field after the status byte.
constexpr unsigned kFlagNull = 1;
constexpr unsigned kFlagUnchanged = 2;

// Date-times travel as milliseconds since 0001-01-01 counted from day 1; the zero date
// 1899-12-30 is day 693594 of that count.
constexpr int64_t kZeroDateDay = 693594;
constexpr int64_t kMsPerDay = DateTime::kMsPerDay;

constexpr std::string_view kWidth = "WIDTH";
constexpr std::string_view kDecimals = "DECIMALS";
constexpr std::string_view kSubtype = "SUBTYPE";

// The per-field layout of records: how wide a length prefix is, and the child layout of a
// nested field.
struct Layout {
  uint16_t prefix = 0;
  uint16_t fixedSize = 0;
  std::vector<Layout> children;
};

}  // namespace db::binary_packet
