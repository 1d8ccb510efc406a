#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "db/core/value.h"

namespace db::embedded {

// The date-part names of DATEADD, DATEDIFF and DATEPART, with their T-SQL abbreviations.
enum class DatePart {
  Year,
  Quarter,
  Month,
  DayOfYear,
  Day,
  Week,
  Hour,
  Minute,
  Second,
  Millisecond
};

std::optional<DatePart> datePartNamed(std::string_view name);

DateTime dateAdd(DatePart part, int64_t amount, DateTime date);
// Boundaries of `part` crossed from `from` to `to`, as SQL Server counts them.
int64_t dateDiff(DatePart part, DateTime from, DateTime to);
int64_t datePart(DatePart part, DateTime date);

// Formats a date-time as CONVERT(VARCHAR, date, style) does; nothing for an unknown style.
std::optional<std::string> formatDateStyle(DateTime date, int style);
// Reads a text as CONVERT(DATETIME, text, style) does (style 0 for none); an empty text is
// 1900-01-01 as on SQL Server; nothing when the text is not a date.
std::optional<DateTime> parseDateStyle(std::string_view text, int style);

}  // namespace db::embedded
