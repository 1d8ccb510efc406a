// Packed BCD cells as read from binary packets: edge values, and agreement with the plain
// reading (digits to text, then the canonical form) over arbitrary bytes.
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <utility>

#include "db/dataset/decimal.h"

namespace {

// The cell read the long way: its digits as text, split at the places, made canonical.
std::string plainReading(const db::BcdBytes& b) {
  const size_t count = b[0];
  const size_t places = b[1] & 0x3F;
  if (count > 64 || places > count) throw std::invalid_argument("malformed BCD value");
  std::string digits;
  for (size_t d = 0; d < count; ++d) {
    const int nibble = d % 2 == 0 ? b[2 + d / 2] >> 4 : b[2 + d / 2] & 0x0F;
    if (nibble > 9) throw std::invalid_argument("malformed BCD digit");
    digits += static_cast<char>('0' + nibble);
  }
  std::string text = (b[1] & 0x80) ? "-" : "";
  text += count == places ? "0" : digits.substr(0, count - places);
  if (places > 0) text += "." + digits.substr(count - places);
  return db::canonicalDecimal(text);
}

// encodeBcd keeps the digits it is given, leading and trailing zeros and a negative zero included.
TEST(BcdDecode, EdgeValues) {
  const std::string nines(64, '9');
  const std::pair<std::string, std::string> cases[] = {
      {"", "0"},
      {"-", "0"},
      {"-0", "0"},
      {"-00.00", "0"},
      {".0000", "0"},
      {".5", "0.5"},
      {"-.5", "-0.5"},
      {"0012.0", "12"},
      {"-001.250", "-1.25"},
      {"1000", "1000"},
      {"1.0000", "1"},
      {".000001", "0.000001"},
      {"1234.567", "1234.567"},
      {nines, nines},
      {"-9." + nines.substr(1), "-9." + nines.substr(1)},
      {"." + std::string(61, '0') + "10", "0." + std::string(61, '0') + "1"},
  };
  for (const auto& [stored, text] : cases)
    EXPECT_EQ(db::decodeBcd(db::encodeBcd(stored).data()), text) << stored;
}

TEST(BcdDecode, MalformedCellsAreRefused) {
  db::BcdBytes tooMany = db::encodeBcd("1");
  tooMany[0] = 65;
  EXPECT_THROW(db::decodeBcd(tooMany.data()), std::invalid_argument);
  db::BcdBytes placesPastDigits = db::encodeBcd("12");
  placesPastDigits[1] = 3;
  EXPECT_THROW(db::decodeBcd(placesPastDigits.data()), std::invalid_argument);
  db::BcdBytes badLowNibble = db::encodeBcd("12");
  badLowNibble[2] = 0x1A;
  EXPECT_THROW(db::decodeBcd(badLowNibble.data()), std::invalid_argument);
  db::BcdBytes badLastDigit = db::encodeBcd(std::string(64, '1'));
  badLastDigit[33] = 0x1F;
  EXPECT_THROW(db::decodeBcd(badLastDigit.data()), std::invalid_argument);
  // Nibbles past the digit count are padding and do not count.
  db::BcdBytes padded = db::encodeBcd("7");
  padded[2] |= 0x0F;
  EXPECT_EQ(db::decodeBcd(padded.data()), "7");
}

TEST(BcdDecode, AgreesWithThePlainReading) {
  std::mt19937 random(19);
  for (int round = 0; round < 20000; ++round) {
    db::BcdBytes b{};
    b[0] = static_cast<uint8_t>(random() % 70);
    b[1] = static_cast<uint8_t>(random() % 256);
    if (round % 2 == 0) b[1] = static_cast<uint8_t>((b[1] & 0xC0) | (random() % (b[0] + 1)));
    // Mostly digits, with zeros over-represented and the odd nibble above 9.
    for (size_t i = 2; i < b.size(); ++i) {
      const auto nibble = [&] {
        const uint32_t r = random() % 40;
        return static_cast<uint8_t>(r < 15 ? 0 : r < 39 ? r % 10 : 10 + r % 6);
      };
      b[i] = static_cast<uint8_t>(nibble() << 4 | nibble());
    }
    std::string expected;
    bool refused = false;
    try {
      expected = plainReading(b);
    } catch (const std::invalid_argument&) {
      refused = true;
    }
    if (refused) {
      EXPECT_THROW(db::decodeBcd(b.data()), std::invalid_argument);
    } else {
      EXPECT_EQ(db::decodeBcd(b.data()), expected);
    }
  }
}

}  // namespace
