#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace db {

// A point in time held exactly, to the millisecond, as milliseconds since the zero date
// 1899-12-30 00:00:00.000. The zero date is a real value (ms == 0), not "no date".
class DateTime {
 public:
  static constexpr int64_t kMsPerDay = 86'400'000;

  constexpr DateTime() = default;
  constexpr explicit DateTime(int64_t msSinceZero) : ms_(msSinceZero) {}

  // Throws std::invalid_argument for an impossible calendar date or time.
  static DateTime fromParts(int year, int month, int day, int hour = 0, int minute = 0,
                            int second = 0, int millisecond = 0);
  // Days since the zero date with the time as fraction; rounded to the nearest millisecond.
  static DateTime fromDays(double days);
  // The local wall-clock time now.
  static DateTime now();
  // Parses "YYYY-MM-DD[( |T)HH:MM[:SS[.mmm]]]", "YYYYMMDD[ HH:MM[:SS[.mmm]]]" and
  // "DD/MM/YYYY[ HH:MM[:SS[.mmm]]]". Returns nothing when the text is none of these.
  static std::optional<DateTime> parse(std::string_view text);

  constexpr int64_t msSinceZero() const { return ms_; }
  double toDays() const { return static_cast<double>(ms_) / kMsPerDay; }
  DateTime date() const;  // midnight of the same day
  DateTime addDays(int64_t days) const { return DateTime(ms_ + days * kMsPerDay); }
  DateTime addMs(int64_t ms) const { return DateTime(ms_ + ms); }

  struct Parts {
    int year, month, day, hour, minute, second, millisecond;
  };
  Parts parts() const;

  std::string iso() const;  // "YYYY-MM-DD HH:MM:SS.mmm"
  // strftime-like with the tokens yyyy, yy, mm, dd, hh, nn, ss, zzz (case-sensitive).
  std::string format(std::string_view pattern) const;

  constexpr auto operator<=>(const DateTime&) const = default;

 private:
  int64_t ms_ = 0;
};

using Bytes = std::vector<uint8_t>;

class Value;
using ValueArray = std::vector<Value>;

// One value type for fields, statement parameters and server variants.
class Value {
 public:
  enum class Kind { Null, Bool, Int, Double, Text, DateTime, Bytes, Array };

  Value() = default;
  Value(std::nullptr_t) {}
  Value(bool b) : v_(b) {}
  Value(int i) : v_(static_cast<int64_t>(i)) {}
  Value(int64_t i) : v_(i) {}
  Value(double d) : v_(d) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(std::string_view s) : v_(std::string(s)) {}
  Value(const char* s) : v_(std::string(s)) {}
  Value(DateTime t) : v_(t) {}
  Value(Bytes b) : v_(std::move(b)) {}
  Value(ValueArray a) : v_(std::move(a)) {}

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool isNull() const { return kind() == Kind::Null; }

  // Exact access; throws std::bad_variant_access when the kind differs.
  bool getBool() const { return std::get<bool>(v_); }
  int64_t getInt() const { return std::get<int64_t>(v_); }
  double getDouble() const { return std::get<double>(v_); }
  const std::string& getText() const { return std::get<std::string>(v_); }
  DateTime getDateTime() const { return std::get<DateTime>(v_); }
  const Bytes& getBytes() const { return std::get<Bytes>(v_); }
  const ValueArray& getArray() const { return std::get<ValueArray>(v_); }
  ValueArray& getArray() { return std::get<ValueArray>(v_); }

  // Conversions as field readers use them. Null reads as "", 0, 0.0, false and the zero date.
  // Texts that do not convert raise std::invalid_argument naming the text.
  std::string asText() const;  // date-times as "YYYY-MM-DD HH:MM:SS.mmm", doubles shortest exact
  int64_t asInt() const;       // doubles truncate toward zero; "" is 0
  double asDouble() const;     // "" is 0; date-times as days since the zero date
  bool asBool() const;         // "S", "T", "TRUE", "1" are true (case-insensitive)
  DateTime asDateTime() const; // numbers as days since the zero date; texts through parse

  bool operator==(const Value& other) const = default;

 private:
  std::variant<std::monostate, bool, int64_t, double, std::string, DateTime, Bytes, ValueArray> v_;
};

std::string_view kindName(Value::Kind kind);

}  // namespace db
