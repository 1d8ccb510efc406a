#include "db/dataset/decimal.h"

#include <stdexcept>

namespace db {
namespace {

constexpr size_t kMaxDigits = 64;  // 32 bytes of two nibbles

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string canonicalDecimal(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::string whole, fraction;
  while (i < text.size() && isDigit(text[i])) whole += text[i++];
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) fraction += text[i++];
  }
  if (i != text.size() || (whole.empty() && fraction.empty())) {
    throw std::invalid_argument("not a decimal number: \"" + std::string(text) + "\"");
  }
  const size_t firstNonZero = whole.find_first_not_of('0');
  whole = firstNonZero == std::string::npos ? "0" : whole.substr(firstNonZero);
  const size_t lastNonZero = fraction.find_last_not_of('0');
  fraction = lastNonZero == std::string::npos ? "" : fraction.substr(0, lastNonZero + 1);
  std::string out = (negative && (whole != "0" || !fraction.empty())) ? "-" : "";
  out += whole;
  if (!fraction.empty()) out += "." + fraction;
  return out;
}

BcdBytes encodeBcd(std::string_view canonical) {
  BcdBytes out{};
  const bool negative = !canonical.empty() && canonical[0] == '-';
  if (negative) canonical.remove_prefix(1);
  const size_t point = canonical.find('.');
  std::string digits(canonical.substr(0, point));
  size_t places = 0;
  if (point != std::string_view::npos) {
    places = canonical.size() - point - 1;
    digits += canonical.substr(point + 1);
  }
  if (digits.size() > kMaxDigits || places > 63) {
    throw std::invalid_argument("decimal too long for BCD: \"" + std::string(canonical) + "\"");
  }
  out[0] = static_cast<uint8_t>(digits.size());
  out[1] = static_cast<uint8_t>((negative ? 0x80 : 0) | places);
  for (size_t d = 0; d < digits.size(); ++d) {
    const auto nibble = static_cast<uint8_t>(digits[d] - '0');
    out[2 + d / 2] |= d % 2 == 0 ? static_cast<uint8_t>(nibble << 4) : nibble;
  }
  return out;
}

// Builds the canonical text straight from the nibbles: packets carry a BCD value in every
// decimal cell, so this runs for most cells a download reads.
std::string decodeBcd(const uint8_t* bytes) {
  const size_t count = bytes[0];
  const size_t places = bytes[1] & 0x3F;
  if (count > kMaxDigits || places > count) {
    throw std::invalid_argument("malformed BCD value (digits " + std::to_string(count) +
                                ", places " + std::to_string(places) + ")");
  }
  char digits[kMaxDigits];
  for (size_t d = 0; d < count; ++d) {
    const uint8_t byte = bytes[2 + d / 2];
    const uint8_t nibble = d % 2 == 0 ? byte >> 4 : byte & 0x0F;
    if (nibble > 9) throw std::invalid_argument("malformed BCD digit");
    digits[d] = static_cast<char>('0' + nibble);
  }
  const size_t wholeEnd = count - places;
  size_t wholeBegin = 0;
  while (wholeBegin < wholeEnd && digits[wholeBegin] == '0') ++wholeBegin;
  size_t fractionEnd = count;
  while (fractionEnd > wholeEnd && digits[fractionEnd - 1] == '0') --fractionEnd;
  const bool zero = wholeBegin == wholeEnd && fractionEnd == wholeEnd;
  char text[kMaxDigits + 3];
  size_t length = 0;
  if ((bytes[1] & 0x80) && !zero) text[length++] = '-';
  if (wholeBegin == wholeEnd) text[length++] = '0';
  for (size_t d = wholeBegin; d < wholeEnd; ++d) text[length++] = digits[d];
  if (fractionEnd > wholeEnd) {
    text[length++] = '.';
    for (size_t d = wholeEnd; d < fractionEnd; ++d) text[length++] = digits[d];
  }
  return std::string(text, length);
}

}  // namespace db
