// The T-SQL functions the engine adds to SQLite, where SQL Server's rules are easy to get wrong:
// DATEDIFF counts boundaries crossed, DATEADD clamps to the month's end, lengths count
// characters, and CONVERT styles format exactly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "embedded_test_support.h"

namespace db::embedded {
namespace {

using namespace test_support;

class EmbeddedFunctions : public MemoryDatabaseTest {
 protected:
  Value eval(const std::string& expression) { return scalar(*db, "SELECT " + expression); }
};

TEST_F(EmbeddedFunctions, DateDiffCountsBoundariesCrossed) {
  constexpr int64_t kRefused = INT64_MIN;
  const std::pair<const char*, int64_t> cases[] = {
      {"DATEDIFF(year, '2025-12-31 23:59:59', '2026-01-01')", 1},
      {"DATEDIFF(yy, '2026-01-01', '2026-12-31')", 0},
      {"DATEDIFF(month, '2026-01-31', '2026-02-01')", 1},
      {"DATEDIFF(day, '2026-01-01 23:00', '2026-01-02 01:00')", 1},
      {"DATEDIFF(dd, '2026-01-02', '2026-01-01')", -1},
      {"DATEDIFF(hour, '2026-01-01 10:59', '2026-01-01 11:00')", 1},
      {"DATEDIFF(minute, '2026-01-01 10:00:59', '2026-01-01 10:01:00')", 1},
      {"DATEDIFF(week, '2026-01-03', '2026-01-04')", 1},  // Saturday to Sunday
      {"DATEPART(weekday, '2026-01-04')", kRefused},      // not a part this engine knows
  };
  for (const auto& [expression, expected] : cases) {
    if (expected == kRefused) {
      EXPECT_THROW(eval(expression), Error) << expression;
      continue;
    }
    EXPECT_EQ(eval(expression), Value(expected)) << expression;
  }
}

TEST_F(EmbeddedFunctions, DateAddKeepsTimeAndClampsToTheMonthEnd) {
  EXPECT_EQ(eval("DATEADD(month, 1, '2026-01-31 10:20:30')").asDateTime(),
            DateTime::fromParts(2026, 2, 28, 10, 20, 30));
  EXPECT_EQ(eval("DATEADD(year, 1, '2024-02-29')").asDateTime(), DateTime::fromParts(2025, 2, 28));
  EXPECT_EQ(eval("DATEADD(day, -1, '2026-03-01')").asDateTime(), DateTime::fromParts(2026, 2, 28));
  EXPECT_EQ(eval("DATEADD(minute, 90, '2026-01-01')").asDateTime(),
            DateTime::fromParts(2026, 1, 1, 1, 30));
  EXPECT_EQ(eval("YEAR('2026-05-06') * 10000 + MONTH('2026-05-06') * 100 + DAY('2026-05-06')"),
            Value(int64_t{20260506}));
}

TEST_F(EmbeddedFunctions, ConvertStylesFormatExactly) {
  const char* date = "CONVERT(DATETIME, '2026-07-08 09:05:04.123')";
  const std::pair<int, const char*> cases[] = {
      {0, "Jul  8 2026  9:05AM"},
      {3, "08/07/26"},
      {101, "07/08/2026"},
      {103, "08/07/2026"},
      {104, "08.07.2026"},
      {108, "09:05:04"},
      {112, "20260708"},
      {120, "2026-07-08 09:05:04"},
      {121, "2026-07-08 09:05:04.123"},
  };
  for (const auto& [style, expected] : cases)
    EXPECT_EQ(eval("CONVERT(VARCHAR, " + std::string(date) + ", " + std::to_string(style) + ")"),
              Value(expected))
        << style;
  EXPECT_THROW(eval("CONVERT(VARCHAR, GETDATE(), 999)"), Error);
  EXPECT_EQ(eval("CONVERT(DATETIME, '07/08/2026', 101)").asDateTime(),
            DateTime::fromParts(2026, 7, 8));
  EXPECT_EQ(eval("CONVERT(DATETIME, '')").asDateTime(), DateTime::fromParts(1900, 1, 1));
  EXPECT_EQ(eval("CONVERT(DATE, '2026-07-08 23:59:59')").asDateTime(),
            DateTime::fromParts(2026, 7, 8));
  EXPECT_EQ(eval("CONVERT(DECIMAL(10,2), '3.14159')"), Value(3.14));
}

TEST_F(EmbeddedFunctions, TextLengthsAndPositionsCountCharacters) {
  EXPECT_EQ(eval("LEN('ação  ')"), Value(int64_t{4}));
  EXPECT_EQ(eval("RIGHT('ação', 2)"), Value("ão"));
  EXPECT_EQ(eval("LEFT('ação', 2)"), Value("aç"));
  EXPECT_EQ(eval("CHARINDEX('o', 'ação')"), Value(int64_t{4}));
  EXPECT_TRUE(eval("LEN(NULL)").isNull());
  EXPECT_TRUE(eval("REPLICATE('x', -1)").isNull());
  // A huge repetition is refused rather than allocated.
  EXPECT_THROW(eval("REPLICATE('abc', 2000000000)"), Error);
}

}  // namespace
}  // namespace db::embedded
