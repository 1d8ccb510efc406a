#include "db/core/value.h"

#include <gtest/gtest.h>

#include "db/core/text.h"

namespace db {
namespace {

TEST(DateTimeTest, ZeroDateIsARealValueAndRoundTrips) {
  EXPECT_EQ(DateTime::fromParts(1899, 12, 30).msSinceZero(), 0);
  EXPECT_EQ(DateTime().iso(), "1899-12-30 00:00:00.000");
  const DateTime t = DateTime::fromParts(2026, 12, 8, 13, 45, 7, 123);
  EXPECT_EQ(t.iso(), "2026-12-08 13:45:07.123");
  EXPECT_EQ(DateTime::fromParts(5, 1, 2, 3, 4, 5, 6).iso(), "0005-01-02 03:04:05.006");
  EXPECT_EQ(DateTime::fromDays(t.toDays()), t);
  EXPECT_EQ(DateTime::fromParts(1985, 1, 1, 12).toDays(), 31048.5);
}

TEST(DateTimeTest, DatesBeforeTheZeroDateKeepTheirTimeOfDay) {
  const DateTime t = DateTime::fromParts(1899, 12, 29, 18);
  EXPECT_EQ(t.iso(), "1899-12-29 18:00:00.000");
  EXPECT_EQ(t.date().iso(), "1899-12-29 00:00:00.000");
}

TEST(DateTimeTest, ParsesTheTextFormsTheProgramMeets) {
  const DateTime want = DateTime::fromParts(2026, 1, 2, 3, 4, 5, 600);
  EXPECT_EQ(DateTime::parse("2026-01-02 03:04:05.6"), want);
  EXPECT_EQ(DateTime::parse("2026-01-02T03:04:05.600"), want);
  EXPECT_EQ(DateTime::parse("02/01/2026 03:04:05.600"), want);
  EXPECT_EQ(DateTime::parse("20260102 03:04:05.600"), want);
  EXPECT_EQ(DateTime::parse("20260102"), DateTime::fromParts(2026, 1, 2));
  EXPECT_FALSE(DateTime::parse("2026-02-30"));
  EXPECT_FALSE(DateTime::parse("2026-01-02 25:00"));
  EXPECT_FALSE(DateTime::parse("hello"));
  EXPECT_FALSE(DateTime::parse(""));
}

TEST(DateTimeTest, FormatsWithPatternTokens) {
  const DateTime t = DateTime::fromParts(2026, 3, 4, 5, 6, 7, 8);
  EXPECT_EQ(t.format("ddmmyy"), "040326");
  EXPECT_EQ(t.format("dd/mm/yyyy hh:nn:ss.zzz"), "04/03/2026 05:06:07.008");
}

TEST(ValueTest, ConversionsFollowTheFieldReaderRules) {
  EXPECT_EQ(Value().asText(), "");
  EXPECT_EQ(Value().asInt(), 0);
  EXPECT_EQ(Value("").asInt(), 0);
  EXPECT_EQ(Value(" 42 ").asInt(), 42);
  EXPECT_EQ(Value(3.9).asInt(), 3);
  EXPECT_EQ(Value("1,5").asDouble(), 1.5);
  EXPECT_EQ(Value(0.1).asText(), "0.1");
  EXPECT_TRUE(Value("S").asBool());
  EXPECT_FALSE(Value("N").asBool());
  EXPECT_EQ(Value(1.5).asDateTime(), DateTime::fromParts(1899, 12, 31, 12));
  EXPECT_EQ(Value("2026-01-01").asDateTime(), DateTime::fromParts(2026, 1, 1));
  EXPECT_THROW(Value("abc").asInt(), std::invalid_argument);
  EXPECT_THROW(Value("31/02/2026").asDateTime(), std::invalid_argument);
}

TEST(ValueTest, EqualityIsByKindAndContent) {
  EXPECT_EQ(Value(int64_t{1}), Value(1));
  EXPECT_NE(Value(1), Value(1.0));
  EXPECT_EQ(Value(ValueArray{1, "a", nullptr}), Value(ValueArray{1, "a", Value()}));
}

TEST(TextTest, Cp1252RoundTripsPortugueseText) {
  const std::string utf8 = "ATUALIZAÇÃO REALIZADA – €";
  const std::string cp = utf8ToCp1252(utf8);
  EXPECT_EQ(cp.size(), std::string("ATUALIZACAO REALIZADA - E").size());
  EXPECT_EQ(static_cast<unsigned char>(cp[8]), 0xC7);
  EXPECT_EQ(cp1252ToUtf8(cp), utf8);
  EXPECT_TRUE(iequals("sa", "SA"));
  EXPECT_EQ(trim("  x \r\n"), "x");
}

TEST(TextTest, TextAlreadyInCp1252KeepsEveryCharacter) {
  // A driver's message in code page 1252: "Ação não é válida" and an accent at the very end.
  const std::string single = "A\xE7\xE3o n\xE3o \xE9 v\xE1lida; \xC9";
  EXPECT_EQ(utf8ToCp1252(single), single);
  // Mixed: a proper UTF-8 letter next to a lone 1252 byte.
  EXPECT_EQ(utf8ToCp1252("\xC3\xA7 \xE7x"), "\xE7 \xE7x");
}

}  // namespace
}  // namespace db
