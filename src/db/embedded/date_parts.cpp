#include "db/embedded/date_parts.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <stdexcept>

#include "db/core/named_table.h"
#include "db/core/text.h"

namespace db::embedded {
namespace {

constexpr Named<DatePart> kPartNames[] = {
    {"YEAR", DatePart::Year},
    {"YY", DatePart::Year},
    {"YYYY", DatePart::Year},
    {"QUARTER", DatePart::Quarter},
    {"QQ", DatePart::Quarter},
    {"Q", DatePart::Quarter},
    {"MONTH", DatePart::Month},
    {"MM", DatePart::Month},
    {"M", DatePart::Month},
    {"DAYOFYEAR", DatePart::DayOfYear},
    {"DY", DatePart::DayOfYear},
    {"Y", DatePart::DayOfYear},
    {"DAY", DatePart::Day},
    {"DD", DatePart::Day},
    {"D", DatePart::Day},
    {"WEEK", DatePart::Week},
    {"WK", DatePart::Week},
    {"WW", DatePart::Week},
    {"HOUR", DatePart::Hour},
    {"HH", DatePart::Hour},
    {"MINUTE", DatePart::Minute},
    {"MI", DatePart::Minute},
    {"N", DatePart::Minute},
    {"SECOND", DatePart::Second},
    {"SS", DatePart::Second},
    {"S", DatePart::Second},
    {"MILLISECOND", DatePart::Millisecond},
    {"MS", DatePart::Millisecond},
};

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

DateTime addMonths(DateTime date, int64_t months) {
  const auto p = date.parts();
  const int64_t total = p.year * 12LL + (p.month - 1) + months;
  const int year = static_cast<int>(floorDiv(total, 12));
  const int month = static_cast<int>(total - year * 12LL) + 1;
  const int day = std::min(p.day, daysInMonth(year, month));
  return DateTime::fromParts(year, month, day, p.hour, p.minute, p.second, p.millisecond);
}

int64_t unitMs(DatePart part) {
  switch (part) {
    case DatePart::Hour:
      return 3'600'000;
    case DatePart::Minute:
      return 60'000;
    case DatePart::Second:
      return 1'000;
    case DatePart::Millisecond:
      return 1;
    default:
      return DateTime::kMsPerDay;
  }
}

// CONVERT styles written as a DateTime::format pattern.
struct StylePattern {
  int style;
  std::string_view pattern;
};

constexpr StylePattern kStylePatterns[] = {
    {3, "dd/mm/yy"},
    {101, "mm/dd/yyyy"},
    {103, "dd/mm/yyyy"},
    {104, "dd.mm.yyyy"},
    {108, "hh:nn:ss"},
    {112, "yyyymmdd"},
    {120, "yyyy-mm-dd hh:nn:ss"},
    {121, "yyyy-mm-dd hh:nn:ss.zzz"},
};

constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Styles 0 and 100: "Jan  8 2026  3:04PM".
std::string withMonthName(DateTime date) {
  const auto p = date.parts();
  const int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", kMonths[p.month - 1].data(), p.day,
                p.year, hour12, p.minute, p.hour < 12 ? "AM" : "PM");
  return buf;
}

// Reads a whole number of 1 to `most` digits at `pos`, after any spaces.
std::optional<int> readNumber(std::string_view s, size_t& pos, size_t most) {
  while (pos < s.size() && s[pos] == ' ') ++pos;
  const size_t start = pos;
  int value = 0;
  while (pos < s.size() && pos - start < most && s[pos] >= '0' && s[pos] <= '9')
    value = value * 10 + (s[pos++] - '0');
  if (pos == start) return std::nullopt;
  return value;
}

// Styles 0 and 100 read back, as the server reads them: "Mon dd yyyy[ hh:mi[AM|PM]]".
std::optional<DateTime> readWithMonthName(std::string_view s) {
  if (s.size() < 3) return std::nullopt;
  const auto named = std::find_if(std::begin(kMonths), std::end(kMonths),
                                  [&](std::string_view m) { return iequals(m, s.substr(0, 3)); });
  if (named == std::end(kMonths)) return std::nullopt;
  size_t pos = 3;
  const auto day = readNumber(s, pos, 2);
  const auto year = readNumber(s, pos, 4);
  if (!day || !year) return std::nullopt;
  int hour = 0, minute = 0;
  if (trim(s.substr(pos)).size() > 0) {
    const auto h = readNumber(s, pos, 2);
    if (!h || pos >= s.size() || s[pos] != ':') return std::nullopt;
    const auto mi = readNumber(s, ++pos, 2);
    if (!mi) return std::nullopt;
    hour = *h;
    minute = *mi;
    const std::string_view half = trim(s.substr(pos));
    if (iequals(half, "PM") && hour < 12) hour += 12;
    if (iequals(half, "AM") && hour == 12) hour = 0;
    if (!half.empty() && !iequals(half, "AM") && !iequals(half, "PM")) return std::nullopt;
  }
  try {
    return DateTime::fromParts(*year, static_cast<int>(named - std::begin(kMonths)) + 1, *day, hour,
                               minute, 0);
  } catch (const std::invalid_argument&) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<DatePart> datePartNamed(std::string_view name) {
  return lookupName(kPartNames, name);
}

DateTime dateAdd(DatePart part, int64_t amount, DateTime date) {
  switch (part) {
    case DatePart::Year:
      return addMonths(date, amount * 12);
    case DatePart::Quarter:
      return addMonths(date, amount * 3);
    case DatePart::Month:
      return addMonths(date, amount);
    case DatePart::Week:
      return date.addDays(amount * 7);
    default:
      return date.addMs(amount * unitMs(part));
  }
}

int64_t dateDiff(DatePart part, DateTime from, DateTime to) {
  const auto a = from.parts();
  const auto b = to.parts();
  switch (part) {
    case DatePart::Year:
      return b.year - a.year;
    case DatePart::Quarter:
      return (b.year * 4LL + (b.month - 1) / 3) - (a.year * 4LL + (a.month - 1) / 3);
    case DatePart::Month:
      return (b.year * 12LL + b.month) - (a.year * 12LL + a.month);
    case DatePart::Week:
      // Weeks start on Sunday; the zero date 1899-12-30 was a Saturday.
      return floorDiv(floorDiv(to.msSinceZero(), DateTime::kMsPerDay) + 6, 7) -
             floorDiv(floorDiv(from.msSinceZero(), DateTime::kMsPerDay) + 6, 7);
    default: {
      const int64_t unit = unitMs(part);
      return floorDiv(to.msSinceZero(), unit) - floorDiv(from.msSinceZero(), unit);
    }
  }
}

int64_t datePart(DatePart part, DateTime date) {
  const auto p = date.parts();
  switch (part) {
    case DatePart::Year:
      return p.year;
    case DatePart::Quarter:
      return (p.month - 1) / 3 + 1;
    case DatePart::Month:
      return p.month;
    case DatePart::DayOfYear:
      return dateDiff(DatePart::Day, DateTime::fromParts(p.year, 1, 1), date) + 1;
    case DatePart::Day:
      return p.day;
    case DatePart::Week:
      return dateDiff(DatePart::Week, DateTime::fromParts(p.year, 1, 1), date) + 1;
    case DatePart::Hour:
      return p.hour;
    case DatePart::Minute:
      return p.minute;
    case DatePart::Second:
      return p.second;
    case DatePart::Millisecond:
      return p.millisecond;
  }
  return 0;
}

std::optional<std::string> formatDateStyle(DateTime date, int style) {
  if (style == 0 || style == 100) return withMonthName(date);
  for (const auto& s : kStylePatterns)
    if (s.style == style) return date.format(s.pattern);
  return std::nullopt;
}

std::optional<DateTime> parseDateStyle(std::string_view text, int style) {
  const std::string_view s = trim(text);
  if (s.empty()) return DateTime::fromParts(1900, 1, 1);
  if (style == 101 && s.size() >= 10 && s[2] == '/' && s[5] == '/') {
    // mm/dd/yyyy: swap to the day-first form the common parser reads.
    std::string swapped(s);
    std::swap(swapped[0], swapped[3]);
    std::swap(swapped[1], swapped[4]);
    return DateTime::parse(swapped);
  }
  if (style == 104 && s.size() >= 10 && s[2] == '.' && s[5] == '.') {
    std::string slashed(s);
    slashed[2] = slashed[5] = '/';
    return DateTime::parse(slashed);
  }
  if (auto named = readWithMonthName(s)) return named;
  return DateTime::parse(s);
}

}  // namespace db::embedded
