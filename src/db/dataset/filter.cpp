#include "db/dataset/filter.h"

#include <cctype>

#include "db/core/error.h"
#include "db/core/text.h"

namespace db {
namespace {

class FilterParser {
 public:
  explicit FilterParser(std::string_view text) : s_(text) {}

  std::vector<FilterTerm> parse() {
    std::vector<FilterTerm> terms;
    skipBlanks();
    if (pos_ == s_.size()) return terms;
    for (;;) {
      terms.push_back(term());
      skipBlanks();
      if (pos_ == s_.size()) return terms;
      if (!keyword("AND")) fail("AND expected");
    }
  }

 private:
  FilterTerm term() {
    FilterTerm t;
    skipBlanks();
    t.field = name();
    skipBlanks();
    if (pos_ >= s_.size() || s_[pos_] != '=') fail("'=' expected");
    ++pos_;
    skipBlanks();
    t.value = literal();
    return t;
  }

  std::string name() {
    if (pos_ < s_.size() && s_[pos_] == '[') {
      const size_t end = s_.find(']', pos_);
      if (end == std::string_view::npos) fail("']' expected");
      std::string n(s_.substr(pos_ + 1, end - pos_ - 1));
      pos_ = end + 1;
      return n;
    }
    const size_t start = pos_;
    while (pos_ < s_.size() &&
           (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_')) {
      ++pos_;
    }
    if (start == pos_) fail("field name expected");
    return std::string(s_.substr(start, pos_ - start));
  }

  Value literal() {
    if (pos_ < s_.size() && s_[pos_] == '\'') {
      std::string text;
      for (++pos_;; ++pos_) {
        if (pos_ >= s_.size()) fail("unterminated quoted value");
        if (s_[pos_] == '\'') {
          if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
            text += '\'';
            ++pos_;
            continue;
          }
          ++pos_;
          return Value(text);
        }
        text += s_[pos_];
      }
    }
    if (keyword("NULL")) return Value();
    const size_t start = pos_;
    if (pos_ < s_.size() && (s_[pos_] == '-' || s_[pos_] == '+')) ++pos_;
    bool point = false;
    while (pos_ < s_.size() &&
           (std::isdigit(static_cast<unsigned char>(s_[pos_])) || (!point && s_[pos_] == '.'))) {
      point = point || s_[pos_] == '.';
      ++pos_;
    }
    const std::string number(s_.substr(start, pos_ - start));
    if (number.empty() || number == "-" || number == "+" || number == ".") {
      fail("value expected");
    }
    if (point) return Value(std::stod(number));
    try {
      return Value(static_cast<int64_t>(std::stoll(number)));
    } catch (const std::out_of_range&) {
      fail("number out of range");
    }
  }

  bool keyword(std::string_view word) {
    if (s_.size() - pos_ < word.size() || !iequals(s_.substr(pos_, word.size()), word)) {
      return false;
    }
    const size_t after = pos_ + word.size();
    if (after < s_.size() &&
        (std::isalnum(static_cast<unsigned char>(s_[after])) || s_[after] == '_')) {
      return false;
    }
    pos_ = after;
    return true;
  }

  void skipBlanks() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw Error(ErrorKind::Syntax, "filter \"" + std::string(s_) + "\", position " +
                                       std::to_string(pos_ + 1) + ": " + what);
  }

  std::string_view s_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<FilterTerm> parseFilter(std::string_view expression) {
  return FilterParser(expression).parse();
}

}  // namespace db
