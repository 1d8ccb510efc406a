#include "db/embedded/tokenizer.h"

#include <algorithm>
#include <cctype>

#include "db/core/error.h"
#include "db/core/text.h"

namespace db::embedded {
namespace {

bool isWordStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '#' || c == '@' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool isWordChar(char c) {
  return isWordStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$';
}
bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

[[noreturn]] void unterminated(std::string_view what, size_t at, std::string_view sql) {
  throw Error(ErrorKind::Syntax,
              "Unterminated " + std::string(what) + " at position " + std::to_string(at + 1),
              std::string(sql));
}

// Each routine below takes the position where a token starts and answers where it ends.

size_t whileWordChars(std::string_view sql, size_t i) {
  while (i < sql.size() && isWordChar(sql[i])) ++i;
  return i;
}

size_t whileDigits(std::string_view sql, size_t i) {
  while (i < sql.size() && isDigit(sql[i])) ++i;
  return i;
}

size_t spaceEnd(std::string_view sql, size_t i) {
  while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
  return i;
}

size_t blockCommentEnd(std::string_view sql, size_t start) {
  const size_t end = sql.find("*/", start + 2);
  if (end == std::string_view::npos) unterminated("comment", start, sql);
  return end + 2;
}

// A quoted text runs to its closing quote; a doubled quote stands for one inside it.
size_t quotedEnd(std::string_view sql, size_t start, size_t open, char close,
                 std::string_view what) {
  const size_t n = sql.size();
  size_t i = start + open;
  for (;;) {
    if (i >= n) unterminated(what, start, sql);
    if (sql[i] == close) {
      if (i + 1 < n && sql[i + 1] == close) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
}

// Digits, an optional fraction and an optional exponent (kept only when digits follow it).
size_t numberEnd(std::string_view sql, size_t start) {
  const size_t n = sql.size();
  size_t i = whileDigits(sql, start);
  if (i < n && sql[i] == '.') i = whileDigits(sql, i + 1);
  if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (sql[j] == '+' || sql[j] == '-')) ++j;
    if (j < n && isDigit(sql[j])) i = whileDigits(sql, j);
  }
  return i;
}

size_t symbolEnd(std::string_view sql, size_t start) {
  static constexpr std::string_view kTwo[] = {"<=", ">=", "<>", "!=", "!<", "!>", "||", "::"};
  for (std::string_view two : kTwo)
    if (sql.substr(start, 2) == two) return start + 2;
  return start + 1;
}

bool startsWith(std::string_view sql, size_t i, char first, char second) {
  return sql[i] == first && i + 1 < sql.size() && sql[i + 1] == second;
}

}  // namespace

std::string Token::value() const {
  switch (kind) {
    case TokenKind::Quoted: {
      std::string out;
      const char close = text.front() == '[' ? ']' : '"';
      for (size_t i = 1; i + 1 < text.size(); ++i) {
        out += text[i];
        if (text[i] == close) ++i;  // doubled closing character
      }
      return out;
    }
    case TokenKind::String: {
      const size_t start = text.front() == '\'' ? 1 : 2;
      std::string out;
      for (size_t i = start; i + 1 < text.size(); ++i) {
        out += text[i];
        if (text[i] == '\'') ++i;
      }
      return out;
    }
    case TokenKind::Parameter:
      return std::string(text.substr(1));
    default:
      return std::string(text);
  }
}

bool Token::is(std::string_view keyword) const {
  return kind == TokenKind::Word && iequals(text, keyword);
}

std::vector<Token> tokenize(std::string_view sql) {
  std::vector<Token> out;
  const size_t n = sql.size();
  size_t start = 0;
  while (start < n) {
    const char c = sql[start];
    TokenKind kind = TokenKind::Space;
    size_t end;
    if (std::isspace(static_cast<unsigned char>(c))) {
      end = spaceEnd(sql, start);
    } else if (startsWith(sql, start, '-', '-')) {
      end = std::min(sql.find('\n', start), n);
    } else if (startsWith(sql, start, '/', '*')) {
      end = blockCommentEnd(sql, start);
    } else if (c == '\'' || startsWith(sql, start, 'N', '\'') ||
               startsWith(sql, start, 'n', '\'')) {
      kind = TokenKind::String;
      end = quotedEnd(sql, start, c == '\'' ? 1 : 2, '\'', "string");
    } else if (c == '[' || c == '"') {
      kind = TokenKind::Quoted;
      end = quotedEnd(sql, start, 1, c == '[' ? ']' : '"', "identifier");
    } else if (c == ':' && start + 1 < n && isWordStart(sql[start + 1])) {
      kind = TokenKind::Parameter;
      end = whileWordChars(sql, start + 1);
    } else if (isDigit(c) || (c == '.' && start + 1 < n && isDigit(sql[start + 1]))) {
      kind = TokenKind::Number;
      end = numberEnd(sql, start);
    } else if (isWordStart(c)) {
      kind = TokenKind::Word;
      end = whileWordChars(sql, start);
    } else {
      kind = TokenKind::Symbol;
      end = symbolEnd(sql, start);
    }
    out.push_back({kind, sql.substr(start, end - start), start});
    start = end;
  }
  return out;
}

std::vector<Token> significant(const std::vector<Token>& tokens) {
  std::vector<Token> out;
  out.reserve(tokens.size());
  for (const auto& t : tokens)
    if (t.kind != TokenKind::Space) out.push_back(t);
  return out;
}

std::vector<std::string> parameterNamesOf(const std::vector<Token>& tokens) {
  std::vector<std::string> names;
  for (const auto& t : tokens) {
    if (t.kind != TokenKind::Parameter) continue;
    const std::string name = t.value();
    bool seen = false;
    for (const auto& n : names) seen = seen || iequals(n, name);
    if (!seen) names.push_back(name);
  }
  return names;
}

}  // namespace db::embedded
