#include "db/embedded/sql_functions.h"

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>

#include "db/core/text.h"
#include "db/core/value.h"
#include "db/embedded/date_parts.h"

namespace db::embedded {
namespace {

std::string_view textOf(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

bool isNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

// A stored date-time: REAL or INTEGER days, or a text in one of the accepted forms.
std::optional<DateTime> dateOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      return DateTime::fromDays(sqlite3_value_double(v));
    case SQLITE_TEXT:
      return parseDateStyle(textOf(v), 0);
    default:
      return std::nullopt;
  }
}

void resultText(sqlite3_context* ctx, std::string_view s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void resultDate(sqlite3_context* ctx, DateTime t) { sqlite3_result_double(ctx, t.toDays()); }

// UTF-8 characters, not bytes, as T-SQL counts them.
size_t charCount(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

size_t byteOffsetOfChar(std::string_view s, size_t chars) {
  size_t i = 0;
  while (i < s.size() && chars > 0) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    --chars;
  }
  return i;
}

void getDate(sqlite3_context* ctx, int, sqlite3_value**) { resultDate(ctx, DateTime::now()); }

void len(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (isNull(argv[0])) return sqlite3_result_null(ctx);
  std::string_view s = textOf(argv[0]);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  sqlite3_result_int64(ctx, static_cast<int64_t>(charCount(s)));
}

void charIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
  const std::string needle = upper(textOf(argv[0]));
  const std::string haystack = upper(textOf(argv[1]));
  int64_t start = argc > 2 && !isNull(argv[2]) ? sqlite3_value_int64(argv[2]) : 1;
  if (start < 1) start = 1;
  const size_t from = byteOffsetOfChar(haystack, static_cast<size_t>(start - 1));
  if (needle.empty()) return sqlite3_result_int64(ctx, 0);
  const size_t at = haystack.find(needle, from);
  sqlite3_result_int64(ctx, at == std::string::npos
                                ? 0
                                : static_cast<int64_t>(charCount(haystack.substr(0, at))) + 1);
}

void replicate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
  const std::string_view s = textOf(argv[0]);
  const int64_t times = sqlite3_value_int64(argv[1]);
  if (times < 0) return sqlite3_result_null(ctx);
  const int64_t limit = sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1);
  if (!s.empty() && times > limit / static_cast<int64_t>(s.size()))
    return sqlite3_result_error_toobig(ctx);
  std::string out;
  out.reserve(s.size() * static_cast<size_t>(times));
  for (int64_t i = 0; i < times; ++i) out += s;
  resultText(ctx, out);
}

void right(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
  const std::string_view s = textOf(argv[0]);
  const int64_t n = sqlite3_value_int64(argv[1]);
  if (n < 0) return sqlite3_result_error(ctx, "Invalid length parameter passed to RIGHT", -1);
  const size_t chars = charCount(s);
  if (static_cast<size_t>(n) >= chars) return resultText(ctx, s);
  resultText(ctx, s.substr(byteOffsetOfChar(s, chars - static_cast<size_t>(n))));
}

void serverProperty(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const std::string_view name = textOf(argv[0]);
  if (iequals(name, "productversion")) return resultText(ctx, kReportedProductVersion);
  if (iequals(name, "productlevel")) return resultText(ctx, "RTM");
  if (iequals(name, "edition")) return resultText(ctx, "Express Edition");
  if (iequals(name, "engineedition")) return sqlite3_result_int(ctx, 4);
  sqlite3_result_null(ctx);
}

// KIVTAB_DATETEXT(value, style): CONVERT(VARCHAR, date, style).
void dateText(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (isNull(argv[0])) return sqlite3_result_null(ctx);
  const int style = sqlite3_value_int(argv[1]);
  const auto date = dateOf(argv[0]);
  // A text that is not a date stays as it is, as converting a text to a text does.
  if (!date) return resultText(ctx, textOf(argv[0]));
  const auto text = formatDateStyle(*date, style);
  if (!text) {
    const std::string message = "CONVERT style " + std::to_string(style) + " is not supported";
    return sqlite3_result_error(ctx, message.c_str(), -1);
  }
  resultText(ctx, *text);
}

// KIVTAB_TODATE(value, style): CONVERT(DATETIME, value, style).
void toDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
      return sqlite3_result_null(ctx);
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      return sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
    default:
      break;
  }
  const auto date = parseDateStyle(textOf(argv[0]), sqlite3_value_int(argv[1]));
  if (!date) {
    const std::string message =
        "Conversion failed when converting date and/or time from character string '" +
        std::string(textOf(argv[0])) + "'";
    sqlite3_result_error(ctx, message.c_str(), -1);
    // Reported as a conversion error (241 on the server), not as a failing statement.
    return sqlite3_result_error_code(ctx, SQLITE_MISMATCH);
  }
  resultDate(ctx, *date);
}

std::optional<DatePart> partArg(sqlite3_context* ctx, sqlite3_value* v) {
  const auto part = datePartNamed(textOf(v));
  if (!part) {
    const std::string message = "Invalid date part '" + std::string(textOf(v)) + "'";
    sqlite3_result_error(ctx, message.c_str(), -1);
  }
  return part;
}

void dateAddFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto part = partArg(ctx, argv[0]);
  if (!part) return;
  const auto date = dateOf(argv[2]);
  if (isNull(argv[1]) || !date) return sqlite3_result_null(ctx);
  resultDate(ctx, dateAdd(*part, sqlite3_value_int64(argv[1]), *date));
}

void dateDiffFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto part = partArg(ctx, argv[0]);
  if (!part) return;
  const auto from = dateOf(argv[1]);
  const auto to = dateOf(argv[2]);
  if (!from || !to) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, dateDiff(*part, *from, *to));
}

void datePartFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto part = partArg(ctx, argv[0]);
  if (!part) return;
  const auto date = dateOf(argv[1]);
  if (!date) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, datePart(*part, *date));
}

template <DatePart kPart>
void partOf(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto date = dateOf(argv[0]);
  if (!date) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, datePart(kPart, *date));
}

constexpr FunctionDef kFunctions[] = {
    {"GETDATE", 0, false, getDate},
    {"LEN", 1, true, len},
    {"CHARINDEX", 2, true, charIndex},
    {"CHARINDEX", 3, true, charIndex},
    {"REPLICATE", 2, true, replicate},
    {"SERVERPROPERTY", 1, true, serverProperty},
    {"YEAR", 1, true, partOf<DatePart::Year>},
    {"MONTH", 1, true, partOf<DatePart::Month>},
    {"DAY", 1, true, partOf<DatePart::Day>},
    {"KIVTAB_RIGHT", 2, true, right},
    {"KIVTAB_DATETEXT", 2, true, dateText},
    {"KIVTAB_TODATE", 2, true, toDate},
    {"KIVTAB_DATEADD", 3, true, dateAddFn},
    {"KIVTAB_DATEDIFF", 3, true, dateDiffFn},
    {"KIVTAB_DATEPART", 2, true, datePartFn},
};

}  // namespace

void registerFunctions(sqlite3* db, std::span<const FunctionDef> functions) {
  for (const auto& f : functions) {
    const int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
    sqlite3_create_function_v2(db, f.name, f.arity, flags, nullptr, f.fn, nullptr, nullptr,
                               nullptr);
  }
}

void registerSqlFunctions(sqlite3* db) {
  registerFunctions(db, kFunctions);
  registerServerFunctions(db);
}

}  // namespace db::embedded
