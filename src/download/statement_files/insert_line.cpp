#include "download/statement_files/insert_line.h"

#include <charconv>

namespace download {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

class Cursor {
 public:
  explicit Cursor(std::string_view text) : s_(text) {}

  void skipSpace() {
    while (i_ < s_.size() && isSpace(s_[i_])) ++i_;
  }
  bool atEnd() const { return i_ >= s_.size(); }
  size_t pos() const { return i_; }
  char peek(size_t ahead = 0) const { return i_ + ahead < s_.size() ? s_[i_ + ahead] : '\0'; }

  bool symbol(char c) {
    skipSpace();
    if (peek() != c) return false;
    ++i_;
    return true;
  }

  bool keyword(std::string_view word) {
    skipSpace();
    if (s_.size() - i_ < word.size()) return false;
    for (size_t k = 0; k < word.size(); ++k)
      if (upperAscii(s_[i_ + k]) != word[k]) return false;
    if (isNameChar(peek(word.size()))) return false;
    i_ += word.size();
    return true;
  }

  // A plain name; dots allowed for owner-qualified tables.
  std::string_view name(bool allowDots) {
    skipSpace();
    const size_t start = i_;
    while (i_ < s_.size() && (isNameChar(s_[i_]) || (allowDots && s_[i_] == '.'))) ++i_;
    return s_.substr(start, i_ - start);
  }

  bool literal(Literal& out) {
    skipSpace();
    const char c = peek();
    if ((c == 'N' || c == 'n') && peek(1) == '\'') {
      ++i_;
      return text(out);
    }
    if (c == '\'') return text(out);
    if (isDigit(c) || c == '-' || c == '+' || c == '.') return number(out);
    if (keyword("NULL")) {
      out.kind = Literal::Kind::Null;
      return true;
    }
    return false;
  }

 private:
  bool text(Literal& out) {
    ++i_;  // opening quote
    out.kind = Literal::Kind::Text;
    out.text.clear();
    for (;;) {
      const size_t quote = s_.find('\'', i_);
      if (quote == std::string_view::npos) return false;
      out.text.append(s_.substr(i_, quote - i_));
      i_ = quote + 1;
      if (peek() != '\'') return true;
      out.text.push_back('\'');
      ++i_;
    }
  }

  bool number(Literal& out) {
    const size_t start = i_;
    if (peek() == '-' || peek() == '+') ++i_;
    bool digits = false, fraction = false;
    while (isDigit(peek())) ++i_, digits = true;
    if (peek() == '.') {
      ++i_;
      fraction = true;
      while (isDigit(peek())) ++i_, digits = true;
    }
    if (!digits) return false;
    if (peek() == 'e' || peek() == 'E') {
      ++i_;
      fraction = true;
      if (peek() == '-' || peek() == '+') ++i_;
      if (!isDigit(peek())) return false;
      while (isDigit(peek())) ++i_;
    }
    if (isNameChar(peek())) return false;
    std::string_view digitsText = s_.substr(start, i_ - start);
    if (digitsText.front() == '+') digitsText.remove_prefix(1);
    const char* first = digitsText.data();
    const char* last = first + digitsText.size();
    if (!fraction) {
      out.kind = Literal::Kind::Int;
      auto [end, error] = std::from_chars(first, last, out.intValue);
      return error == std::errc() && end == last;
    }
    out.kind = Literal::Kind::Double;
    auto [end, error] = std::from_chars(first, last, out.doubleValue);
    return error == std::errc() && end == last;
  }

  std::string_view s_;
  size_t i_ = 0;
};

Literal& nextValue(InsertLine& out) {
  if (out.valueCount == out.values.size()) out.values.emplace_back();
  return out.values[out.valueCount++];
}

bool parseHead(Cursor& c, std::string_view line, InsertLine& out) {
  c.skipSpace();
  const size_t headStart = c.pos();
  if (!c.keyword("INSERT") || !c.keyword("INTO")) return false;
  out.table = c.name(true);
  if (out.table.empty() || !c.symbol('(')) return false;
  out.columns.clear();
  do {
    const std::string_view column = c.name(false);
    if (column.empty()) return false;
    out.columns.push_back(column);
  } while (c.symbol(','));
  if (!c.symbol(')')) return false;
  out.head = line.substr(headStart, c.pos() - headStart);
  out.valueCount = 0;
  return c.keyword("VALUES") && c.symbol('(');
}

bool parseEnd(Cursor& c) {
  if (!c.symbol(')')) return false;
  c.symbol(';');
  c.skipSpace();
  return c.atEnd();
}

// A constant, or CHAR(n) / NCHAR(n) with n a whole number.
bool term(Cursor& c, InsertLine& out) {
  if (c.keyword("CHAR") || c.keyword("NCHAR")) {
    Literal& code = nextValue(out);
    return c.symbol('(') && c.literal(code) && code.kind == Literal::Kind::Int && c.symbol(')');
  }
  return c.literal(nextValue(out));
}

}  // namespace

bool parseInsertLine(std::string_view line, InsertLine& out) {
  Cursor c(line);
  if (!parseHead(c, line, out)) return false;
  do {
    if (!c.literal(nextValue(out))) return false;
  } while (c.symbol(','));
  return parseEnd(c) && out.valueCount == out.columns.size();
}

bool parseInsertOfConstants(std::string_view line, InsertLine& out) {
  Cursor c(line);
  if (!parseHead(c, line, out)) return false;
  size_t expressions = 0;
  do {
    do {
      if (!term(c, out)) return false;
    } while (c.symbol('+'));
    ++expressions;
  } while (c.symbol(','));
  return parseEnd(c) && expressions == out.columns.size();
}

}  // namespace download
