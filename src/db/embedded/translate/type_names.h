#pragma once

#include <string>
#include <string_view>

namespace db::embedded {

// Declared types whose values are texts (CHAR, VARCHAR, NCHAR, NVARCHAR, TEXT, NTEXT...).
bool isTextType(std::string_view declaredType);

// The SQLite expression for CONVERT(DATETIME, value): a text read as a date (Conversion error when
// it is none), a number or NULL as it is.
std::string convertedToDate(std::string_view value);

// The type text stored for a T-SQL type: "VARCHAR(MAX)" becomes "VARCHAR(-1)" (the length SQL
// Server's own catalogue reports for MAX), other types are kept as written, upper-cased.
std::string storedTypeName(std::string_view tsqlType);

}  // namespace db::embedded
