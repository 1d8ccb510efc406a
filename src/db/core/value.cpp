#include "db/core/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "db/core/number_text.h"
#include "db/core/text.h"

namespace db {
namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
constexpr int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

struct Civil {
  int64_t y;
  unsigned m, d;
};

constexpr Civil civilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {y + (m <= 2), m, d};
}

constexpr int64_t kZeroDateFromUnixEpoch = daysFromCivil(1899, 12, 30);

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Reads exactly `width` digits at `pos`; advances pos.
bool readDigits(std::string_view s, size_t& pos, size_t width, int& out) {
  if (pos + width > s.size()) return false;
  int v = 0;
  for (size_t i = 0; i < width; ++i) {
    const char c = s[pos + i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  pos += width;
  return true;
}

// Reads "HH:MM[:SS[.m{1,3}]]" from pos to the end of s.
bool readTime(std::string_view s, size_t pos, int& h, int& mi, int& sec, int& ms) {
  sec = ms = 0;
  if (!readDigits(s, pos, 2, h) || pos >= s.size() || s[pos++] != ':' ||
      !readDigits(s, pos, 2, mi))
    return false;
  if (pos == s.size()) return true;
  if (s[pos++] != ':' || !readDigits(s, pos, 2, sec)) return false;
  if (pos == s.size()) return true;
  if (s[pos++] != '.') return false;
  const size_t digits = s.size() - pos;
  if (digits < 1 || digits > 3 || !readDigits(s, pos, digits, ms)) return false;
  for (size_t i = digits; i < 3; ++i) ms *= 10;
  return true;
}

std::optional<DateTime> build(int y, int m, int d, int h, int mi, int s, int ms) {
  try {
    return DateTime::fromParts(y, m, d, h, mi, s, ms);
  } catch (const std::invalid_argument&) {
    return std::nullopt;
  }
}

std::string shortestDouble(double d) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
  (void)ec;
  return std::string(buf, end);
}

// The tokens of a date-time format pattern, each as many digits wide as it has letters; "yyyy"
// is tried before "yy".
struct PatternToken {
  std::string_view text;
  int DateTime::Parts::*part;
  int modulus;  // keeps the last digits only; 0 for the whole value
};

constexpr PatternToken kPatternTokens[] = {
    {"yyyy", &DateTime::Parts::year, 0}, {"yy", &DateTime::Parts::year, 100},
    {"mm", &DateTime::Parts::month, 0},  {"dd", &DateTime::Parts::day, 0},
    {"hh", &DateTime::Parts::hour, 0},   {"nn", &DateTime::Parts::minute, 0},
    {"ss", &DateTime::Parts::second, 0}, {"zzz", &DateTime::Parts::millisecond, 0},
};

const PatternToken* patternTokenAt(std::string_view rest) {
  for (const auto& token : kPatternTokens)
    if (rest.starts_with(token.text)) return &token;
  return nullptr;
}

}  // namespace

DateTime DateTime::fromParts(int year, int month, int day, int hour, int minute, int second,
                             int millisecond) {
  if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour < 0 ||
      hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "invalid date-time %04d-%02d-%02d %02d:%02d:%02d.%03d", year,
                  month, day, hour, minute, second, millisecond);
    throw std::invalid_argument(buf);
  }
  const int64_t days = daysFromCivil(year, month, day) - kZeroDateFromUnixEpoch;
  return DateTime(days * kMsPerDay + ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond);
}

DateTime DateTime::fromDays(double days) {
  return DateTime(static_cast<int64_t>(std::llround(days * kMsPerDay)));
}

DateTime DateTime::now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm local{};
  localtime_r(&ts.tv_sec, &local);
  return fromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min, local.tm_sec, static_cast<int>(ts.tv_nsec / 1'000'000));
}

std::optional<DateTime> DateTime::parse(std::string_view text) {
  const std::string_view s = trim(text);
  int y = 0, m = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
  size_t pos = 0;
  size_t timeAt = std::string_view::npos;
  if (s.size() >= 10 && s[4] == '-' && s[7] == '-') {
    if (!readDigits(s, pos, 4, y) || !readDigits(s, ++pos, 2, m) || !readDigits(s, ++pos, 2, d))
      return std::nullopt;
    timeAt = 10;
  } else if (s.size() >= 10 && s[2] == '/' && s[5] == '/') {
    if (!readDigits(s, pos, 2, d) || !readDigits(s, ++pos, 2, m) || !readDigits(s, ++pos, 4, y))
      return std::nullopt;
    timeAt = 10;
  } else if (s.size() >= 8) {
    if (!readDigits(s, pos, 4, y) || !readDigits(s, pos, 2, m) || !readDigits(s, pos, 2, d))
      return std::nullopt;
    timeAt = 8;
  } else {
    return std::nullopt;
  }
  if (timeAt < s.size()) {
    if (s[timeAt] != ' ' && s[timeAt] != 'T') return std::nullopt;
    if (!readTime(s, timeAt + 1, h, mi, sec, ms)) return std::nullopt;
  }
  return build(y, m, d, h, mi, sec, ms);
}

DateTime DateTime::date() const { return DateTime(floorDiv(ms_, kMsPerDay) * kMsPerDay); }

DateTime::Parts DateTime::parts() const {
  const int64_t days = floorDiv(ms_, kMsPerDay);
  int64_t rest = ms_ - days * kMsPerDay;
  const Civil c = civilFromDays(days + kZeroDateFromUnixEpoch);
  Parts p{};
  p.year = static_cast<int>(c.y);
  p.month = static_cast<int>(c.m);
  p.day = static_cast<int>(c.d);
  p.millisecond = static_cast<int>(rest % 1000);
  rest /= 1000;
  p.second = static_cast<int>(rest % 60);
  rest /= 60;
  p.minute = static_cast<int>(rest % 60);
  p.hour = static_cast<int>(rest / 60);
  return p;
}

std::string DateTime::iso() const { return format("yyyy-mm-dd hh:nn:ss.zzz"); }

std::string DateTime::format(std::string_view pattern) const {
  const Parts p = parts();
  std::string out;
  char buf[8];
  for (size_t i = 0; i < pattern.size();) {
    const PatternToken* token = patternTokenAt(pattern.substr(i));
    if (!token) {
      out += pattern[i++];
      continue;
    }
    const int value = p.*token->part;
    const int width = static_cast<int>(token->text.size());
    std::snprintf(buf, sizeof buf, "%0*d", width, token->modulus ? value % token->modulus : value);
    out += buf;
    i += token->text.size();
  }
  return out;
}

std::string_view kindName(Value::Kind kind) {
  switch (kind) {
    case Value::Kind::Null: return "null";
    case Value::Kind::Bool: return "boolean";
    case Value::Kind::Int: return "integer";
    case Value::Kind::Double: return "float";
    case Value::Kind::Text: return "text";
    case Value::Kind::DateTime: return "date-time";
    case Value::Kind::Bytes: return "bytes";
    case Value::Kind::Array: return "array";
  }
  return "unknown";
}

namespace {

// What converting a value to a form its kind has none of raises; `what` is "an integer".
std::invalid_argument noConversion(Value::Kind kind, std::string_view what) {
  return std::invalid_argument("a value of kind " + std::string(kindName(kind)) + " is not " +
                               std::string(what));
}

}  // namespace

std::string Value::asText() const {
  switch (kind()) {
    case Kind::Null: return {};
    case Kind::Bool: return getBool() ? "True" : "False";
    case Kind::Int: return std::to_string(getInt());
    case Kind::Double: return shortestDouble(getDouble());
    case Kind::Text: return getText();
    case Kind::DateTime: return getDateTime().iso();
    case Kind::Bytes: return std::string(getBytes().begin(), getBytes().end());
    case Kind::Array: break;
  }
  throw std::invalid_argument("an array has no text form");
}

int64_t Value::asInt() const {
  switch (kind()) {
    case Kind::Null: return 0;
    case Kind::Bool: return getBool() ? 1 : 0;
    case Kind::Int: return getInt();
    case Kind::Double: return static_cast<int64_t>(getDouble());
    case Kind::Text: {
      const std::string_view s = trim(getText());
      if (s.empty()) return 0;
      if (const auto v = parseNumber<int64_t>(s)) return *v;
      throw std::invalid_argument("'" + getText() + "' is not a valid integer");
    }
    case Kind::DateTime: return static_cast<int64_t>(getDateTime().toDays());
    case Kind::Bytes:
    case Kind::Array: break;
  }
  throw noConversion(kind(), "an integer");
}

double Value::asDouble() const {
  switch (kind()) {
    case Kind::Null: return 0.0;
    case Kind::Bool: return getBool() ? 1.0 : 0.0;
    case Kind::Int: return static_cast<double>(getInt());
    case Kind::Double: return getDouble();
    case Kind::Text: {
      std::string s(trim(getText()));
      if (s.empty()) return 0.0;
      // Texts written with a decimal comma are accepted as well.
      if (s.find('.') == std::string::npos) {
        const size_t comma = s.find(',');
        if (comma != std::string::npos && s.find(',', comma + 1) == std::string::npos)
          s[comma] = '.';
      }
      if (const auto v = parseNumber<double>(s)) return *v;
      throw std::invalid_argument("'" + getText() + "' is not a valid floating point value");
    }
    case Kind::DateTime: return getDateTime().toDays();
    case Kind::Bytes:
    case Kind::Array: break;
  }
  throw noConversion(kind(), "a number");
}

bool Value::asBool() const {
  switch (kind()) {
    case Kind::Null: return false;
    case Kind::Bool: return getBool();
    case Kind::Int: return getInt() != 0;
    case Kind::Double: return getDouble() != 0.0;
    case Kind::Text: {
      const std::string u = upper(trim(getText()));
      return u == "S" || u == "T" || u == "TRUE" || u == "1";
    }
    default: break;
  }
  throw noConversion(kind(), "a boolean");
}

DateTime Value::asDateTime() const {
  switch (kind()) {
    case Kind::Null: return DateTime();
    case Kind::Int: return DateTime(getInt() * DateTime::kMsPerDay);
    case Kind::Double: return DateTime::fromDays(getDouble());
    case Kind::DateTime: return getDateTime();
    case Kind::Text: {
      if (trim(getText()).empty()) return DateTime();
      if (auto t = DateTime::parse(getText())) return *t;
      throw std::invalid_argument("'" + getText() + "' is not a valid date and time");
    }
    default: break;
  }
  throw noConversion(kind(), "a date-time");
}

}  // namespace db
