#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace db {

// Exact decimal texts for BCD fields. The canonical form has no '+', no leading zeros before
// the point and no trailing zeros after it ("-0012.500" becomes "-12.5", "-0" becomes "0").
// Throws std::invalid_argument when the text is not a plain decimal number.
std::string canonicalDecimal(std::string_view text);

// The packed BCD of binary packets: byte 0 the number of digits, byte 1 the sign (bit 7) and the
// number of decimal places (low 6 bits), then the digits two per byte, high nibble first.
constexpr size_t kBcdBytes = 34;
using BcdBytes = std::array<uint8_t, kBcdBytes>;

BcdBytes encodeBcd(std::string_view canonical);
// Throws std::invalid_argument for a malformed BCD (digit count, nibble or places out of range).
std::string decodeBcd(const uint8_t* bytes);

}  // namespace db
