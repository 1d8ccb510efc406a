#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/text.h"
#include "db/core/value.h"
#include "db/embedded/date_parts.h"
#include "db/embedded/sql_functions.h"

// The T-SQL functions that server-side code uses beside the ones the program's own statements
// need: STR, ISNUMERIC, STUFF, PATINDEX, QUOTENAME, NEWID, CONCAT, DATENAME, DATALENGTH.
namespace db::embedded {
namespace {

// STR's default length, its longest result and its most decimals.
constexpr int64_t kStrDefaultLength = 10;
constexpr int64_t kStrMaxLength = 8000;
constexpr int64_t kStrMaxDecimals = 16;
// QUOTENAME quotes at most a sysname.
constexpr size_t kQuoteNameMaxChars = 128;

constexpr std::string_view kWeekdayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};
constexpr std::string_view kMonthNames[] = {"January",   "February", "March",    "April",
                                            "May",       "June",     "July",     "August",
                                            "September", "October",  "November", "December"};
constexpr std::string_view kWeekdayParts[] = {"weekday", "dw", "w"};
// Currency symbols a money text may start with.
constexpr std::string_view kCurrencySymbols[] = {"$", "\xC2\xA3", "\xC2\xA5", "\xE2\x82\xAC"};

std::string_view textOf(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

bool isNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

void resultText(sqlite3_context* ctx, std::string_view s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// A text as code points, so that positions count characters as T-SQL does.
std::u32string codePoints(std::string_view s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + static_cast<size_t>(k) < s.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) & 0x3F);
    out += cp;
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

std::string utf8(std::u32string_view s) {
  std::string out;
  for (char32_t c : s) appendUtf8(out, c);
  return out;
}

char32_t fold(char32_t c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

// STR(number[, length[, decimals]]): right-aligned in `length`, rounded half away from zero;
// decimals give way when the number would not fit, and '*' fill the length when even the
// integer part does not.
std::string formatStr(double value, int64_t length, int64_t decimals) {
  for (int64_t d = decimals; d >= 0; --d) {
    const long double scale = std::pow(10.0L, static_cast<long double>(d));
    long double scaled = std::round(static_cast<long double>(value) * scale);
    if (scaled == 0) scaled = 0;  // no "-0"
    char digits[512];
    std::snprintf(digits, sizeof digits, "%.0Lf", std::fabs(scaled));
    std::string text = digits;
    if (d > 0) {
      if (text.size() <= static_cast<size_t>(d))
        text.insert(0, static_cast<size_t>(d) + 1 - text.size(), '0');
      text.insert(text.size() - static_cast<size_t>(d), ".");
    }
    if (scaled < 0) text.insert(0, "-");
    if (static_cast<int64_t>(text.size()) <= length)
      return std::string(static_cast<size_t>(length) - text.size(), ' ') + text;
  }
  return std::string(static_cast<size_t>(length), '*');
}

void str(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (isNull(argv[i])) return sqlite3_result_null(ctx);
  const int64_t length = argc > 1 ? sqlite3_value_int64(argv[1]) : kStrDefaultLength;
  int64_t decimals = argc > 2 ? sqlite3_value_int64(argv[2]) : 0;
  if (length <= 0 || length > kStrMaxLength || decimals < 0) return sqlite3_result_null(ctx);
  if (decimals > kStrMaxDecimals) decimals = kStrMaxDecimals;
  resultText(ctx, formatStr(sqlite3_value_double(argv[0]), length, decimals));
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool skipCurrency(std::string_view& s) {
  for (auto symbol : kCurrencySymbols) {
    if (s.starts_with(symbol)) {
      s.remove_prefix(symbol.size());
      return true;
    }
  }
  return false;
}

bool skipSign(std::string_view& s) {
  if (s.empty() || (s.front() != '+' && s.front() != '-')) return false;
  s.remove_prefix(1);
  return true;
}

// What converts to int, decimal, money or float: blanks around, a sign and a currency symbol
// before, digits with thousands commas, a decimal point, an exponent. As on SQL Server a lone
// sign, point or currency symbol counts too; the empty text does not.
bool isNumericText(std::string_view s) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return false;
  s = s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
  if (skipSign(s)) {
    skipCurrency(s);
  } else if (skipCurrency(s)) {
    skipSign(s);
  }
  bool digits = false;
  while (!s.empty() && (isDigit(s.front()) || s.front() == ',')) {
    digits = digits || isDigit(s.front());
    s.remove_prefix(1);
  }
  if (!s.empty() && s.front() == '.') {
    s.remove_prefix(1);
    while (!s.empty() && isDigit(s.front())) {
      digits = true;
      s.remove_prefix(1);
    }
  }
  if (!s.empty() && std::string_view("eEdD").find(s.front()) != std::string_view::npos) {
    if (!digits) return false;
    s.remove_prefix(1);
    skipSign(s);
    if (s.empty() || !isDigit(s.front())) return false;
    while (!s.empty() && isDigit(s.front())) s.remove_prefix(1);
  }
  return s.empty();
}

void isNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      return sqlite3_result_int(ctx, 1);
    case SQLITE_TEXT:
      return sqlite3_result_int(ctx, isNumericText(textOf(argv[0])) ? 1 : 0);
    default:
      return sqlite3_result_int(ctx, 0);
  }
}

void stuff(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (isNull(argv[0]) || isNull(argv[1]) || isNull(argv[2])) return sqlite3_result_null(ctx);
  const std::u32string s = codePoints(textOf(argv[0]));
  const int64_t start = sqlite3_value_int64(argv[1]);
  const int64_t length = sqlite3_value_int64(argv[2]);
  if (start < 1 || start > static_cast<int64_t>(s.size()) || length < 0)
    return sqlite3_result_null(ctx);
  const size_t from = static_cast<size_t>(start - 1);
  const size_t cut = std::min(s.size() - from, static_cast<size_t>(length));
  std::string out = utf8(s.substr(0, from));
  if (!isNull(argv[3])) out += textOf(argv[3]);
  out += utf8(s.substr(from + cut));
  resultText(ctx, out);
}

// One element of a LIKE pattern at `p`: '_', a [class] or a character; advances `p` past it.
bool matchesOne(std::u32string_view pattern, size_t& p, char32_t c) {
  const char32_t head = pattern[p];
  if (head == '_') {
    ++p;
    return true;
  }
  if (head == '[') {
    const size_t close = pattern.find(']', p + 1);
    if (close != std::u32string_view::npos) {
      size_t k = p + 1;
      const bool negated = k < close && pattern[k] == '^';
      if (negated) ++k;
      bool found = false;
      for (; k < close; ++k) {
        if (k + 2 < close && pattern[k + 1] == '-') {
          found = found || (fold(c) >= fold(pattern[k]) && fold(c) <= fold(pattern[k + 2]));
          k += 2;
        } else {
          found = found || fold(c) == fold(pattern[k]);
        }
      }
      p = close + 1;
      return found != negated;
    }
  }
  ++p;
  return fold(head) == fold(c);
}

// Whether all of `s` matches the LIKE pattern (%, _, [abc], [a-z], [^a]).
bool likeMatch(std::u32string_view pattern, std::u32string_view s) {
  size_t p = 0, i = 0;
  size_t starP = std::u32string_view::npos, starI = 0;
  while (i < s.size()) {
    if (p < pattern.size() && pattern[p] == '%') {
      starP = ++p;
      starI = i;
      continue;
    }
    size_t next = p;
    if (p < pattern.size() && matchesOne(pattern, next, s[i])) {
      p = next;
      ++i;
      continue;
    }
    if (starP == std::u32string_view::npos) return false;
    p = starP;
    i = ++starI;
  }
  while (p < pattern.size() && pattern[p] == '%') ++p;
  return p == pattern.size();
}

void patIndex(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
  const std::u32string pattern = codePoints(textOf(argv[0]));
  const std::u32string s = codePoints(textOf(argv[1]));
  size_t lead = 0;
  while (lead < pattern.size() && pattern[lead] == '%') ++lead;
  const std::u32string_view rest = std::u32string_view(pattern).substr(lead);
  const size_t lastStart = lead > 0 ? s.size() : 1;
  for (size_t start = 0; start < lastStart && start < std::max<size_t>(s.size(), 1); ++start)
    if (likeMatch(rest, std::u32string_view(s).substr(start)))
      return sqlite3_result_int64(ctx, static_cast<int64_t>(start) + 1);
  sqlite3_result_int64(ctx, 0);
}

void quoteName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (isNull(argv[0]) || (argc > 1 && isNull(argv[1]))) return sqlite3_result_null(ctx);
  const std::string_view s = textOf(argv[0]);
  const std::string_view q = argc > 1 ? textOf(argv[1]) : "[";
  if (codePoints(s).size() > kQuoteNameMaxChars || q.size() != 1) return sqlite3_result_null(ctx);
  static constexpr std::string_view kOpen = "[]\"'()<>{}`";
  static constexpr std::string_view kPairs[] = {"[]", "[]", "\"\"", "''", "()",
                                                "()", "<>", "<>",   "{}", "``"};
  const size_t which = kOpen.find(q[0]);
  if (which == std::string_view::npos) return sqlite3_result_null(ctx);
  const char open = kPairs[which][0], close = kPairs[which][1];
  std::string out(1, open);
  for (char c : s) {
    out += c;
    if (c == close) out += c;
  }
  resultText(ctx, out + close);
}

void newId(sqlite3_context* ctx, int, sqlite3_value**) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  unsigned char bytes[16];
  for (size_t i = 0; i < sizeof bytes; i += 8) {
    const uint64_t r = random();
    for (size_t k = 0; k < 8; ++k) bytes[i + k] = static_cast<unsigned char>(r >> (8 * k));
  }
  bytes[6] = (bytes[6] & 0x0F) | 0x40;  // version 4: random
  bytes[8] = (bytes[8] & 0x3F) | 0x80;
  char text[37];
  std::snprintf(text, sizeof text,
                "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  resultText(ctx, text);
}

// KIVTAB_CONCAT(a, b, ...): CONCAT, nulls as empty texts.
void concat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  std::string out;
  for (int i = 0; i < argc; ++i) out += textOf(argv[i]);
  resultText(ctx, out);
}

bool isWeekdayPart(std::string_view name) {
  for (auto part : kWeekdayParts)
    if (iequals(name, part)) return true;
  return false;
}

// KIVTAB_DATENAME(part, date): names for months and weekdays (us_english), numbers otherwise.
void dateName(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (isNull(argv[1])) return sqlite3_result_null(ctx);
  const std::string_view partName = textOf(argv[0]);
  std::optional<DateTime> date = sqlite3_value_type(argv[1]) == SQLITE_TEXT
                                     ? parseDateStyle(textOf(argv[1]), 0)
                                     : DateTime::fromDays(sqlite3_value_double(argv[1]));
  if (!date) {
    const std::string message =
        "Conversion failed when converting date and/or time from "
        "character string '" +
        std::string(textOf(argv[1])) + "'";
    return sqlite3_result_error(ctx, message.c_str(), -1);
  }
  const double days = date->toDays();
  if (isWeekdayPart(partName)) {
    // 1899-12-30, day 0, was a Saturday.
    const auto day = static_cast<int64_t>(std::floor(days));
    return resultText(ctx, kWeekdayNames[static_cast<size_t>(((day + 6) % 7 + 7) % 7)]);
  }
  const auto part = datePartNamed(partName);
  if (!part) {
    const std::string message = "Invalid date part '" + std::string(partName) + "'";
    return sqlite3_result_error(ctx, message.c_str(), -1);
  }
  const int64_t value = datePart(*part, *date);
  if (*part == DatePart::Month) return resultText(ctx, kMonthNames[value - 1]);
  resultText(ctx, std::to_string(value));
}

// KIVTAB_DATALENGTH(x): bytes as the server stores the value: one per character of a text (a
// single-byte code page), 4 for an int, 8 for a bigint or float.
void dataLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
      return sqlite3_result_null(ctx);
    case SQLITE_INTEGER: {
      const int64_t v = sqlite3_value_int64(argv[0]);
      return sqlite3_result_int(ctx, v >= INT32_MIN && v <= INT32_MAX ? 4 : 8);
    }
    case SQLITE_FLOAT:
      return sqlite3_result_int(ctx, 8);
    case SQLITE_BLOB:
      return sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0]));
    default:
      return sqlite3_result_int64(ctx, static_cast<int64_t>(codePoints(textOf(argv[0])).size()));
  }
}

// KIVTAB_OBJECT_NAME('[dbo].[T]'): the object's own name, the last part without quoting.
void objectName(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (isNull(argv[0])) return sqlite3_result_null(ctx);
  std::string_view s = trim(textOf(argv[0]));
  if (s.ends_with(']')) {
    const size_t open = s.rfind('[');
    if (open != std::string_view::npos)
      return resultText(ctx, s.substr(open + 1, s.size() - open - 2));
  }
  if (s.ends_with('"') && s.size() > 1) {
    const size_t open = s.rfind('"', s.size() - 2);
    if (open != std::string_view::npos)
      return resultText(ctx, s.substr(open + 1, s.size() - open - 2));
  }
  const size_t dot = s.rfind('.');
  resultText(ctx, dot == std::string_view::npos ? s : s.substr(dot + 1));
}

constexpr FunctionDef kFunctions[] = {
    {"STR", 1, true, str},
    {"STR", 2, true, str},
    {"STR", 3, true, str},
    {"ISNUMERIC", 1, true, isNumeric},
    {"STUFF", 4, true, stuff},
    {"PATINDEX", 2, true, patIndex},
    {"QUOTENAME", 1, true, quoteName},
    {"QUOTENAME", 2, true, quoteName},
    {"NEWID", 0, false, newId},
    {"KIVTAB_CONCAT", -1, true, concat},
    {"KIVTAB_DATENAME", 2, true, dateName},
    {"KIVTAB_DATALENGTH", 1, true, dataLength},
    {"KIVTAB_OBJECT_NAME", 1, true, objectName},
};

}  // namespace

void registerServerFunctions(sqlite3* db) { registerFunctions(db, kFunctions); }

}  // namespace db::embedded
