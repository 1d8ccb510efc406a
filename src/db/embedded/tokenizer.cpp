#include "db/embedded/tokenizer.h"

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
  size_t i = 0;
  const size_t n = sql.size();
  auto push = [&](TokenKind kind, size_t start) {
    out.push_back({kind, sql.substr(start, i - start), start});
  };
  while (i < n) {
    const size_t start = i;
    const char c = sql[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      while (i < n && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
      push(TokenKind::Space, start);
    } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') ++i;
      push(TokenKind::Space, start);
    } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      const size_t end = sql.find("*/", i + 2);
      if (end == std::string_view::npos) unterminated("comment", start, sql);
      i = end + 2;
      push(TokenKind::Space, start);
    } else if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && sql[i + 1] == '\'')) {
      i += c == '\'' ? 1 : 2;
      for (;;) {
        if (i >= n) unterminated("string", start, sql);
        if (sql[i] == '\'') {
          if (i + 1 < n && sql[i + 1] == '\'') {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
      push(TokenKind::String, start);
    } else if (c == '[' || c == '"') {
      const char close = c == '[' ? ']' : '"';
      ++i;
      for (;;) {
        if (i >= n) unterminated("identifier", start, sql);
        if (sql[i] == close) {
          if (i + 1 < n && sql[i + 1] == close) {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
      push(TokenKind::Quoted, start);
    } else if (c == ':' && i + 1 < n && isWordStart(sql[i + 1])) {
      ++i;
      while (i < n && isWordChar(sql[i])) ++i;
      push(TokenKind::Parameter, start);
    } else if (isDigit(c) || (c == '.' && i + 1 < n && isDigit(sql[i + 1]))) {
      while (i < n && isDigit(sql[i])) ++i;
      if (i < n && sql[i] == '.') {
        ++i;
        while (i < n && isDigit(sql[i])) ++i;
      }
      if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (sql[j] == '+' || sql[j] == '-')) ++j;
        if (j < n && isDigit(sql[j])) {
          i = j;
          while (i < n && isDigit(sql[i])) ++i;
        }
      }
      push(TokenKind::Number, start);
    } else if (isWordStart(c)) {
      while (i < n && isWordChar(sql[i])) ++i;
      push(TokenKind::Word, start);
    } else {
      static constexpr std::string_view kTwo[] = {"<=", ">=", "<>", "!=", "!<", "!>", "||", "::"};
      i += 1;
      for (std::string_view two : kTwo)
        if (sql.substr(start, 2) == two) i = start + 2;
      push(TokenKind::Symbol, start);
    }
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

}  // namespace db::embedded
