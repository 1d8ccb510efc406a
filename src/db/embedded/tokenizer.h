#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace db::embedded {

enum class TokenKind {
  Word,       // identifier or keyword: letters, digits, '_', '#', '$', '@' (not first digit)
  Quoted,     // [bracketed] or "double-quoted" identifier; value() gives the bare name
  String,     // 'text' or N'text'; value() gives the text with '' undoubled
  Number,     // 12, 1.5, .5, 1e3
  Parameter,  // :P_NAME; value() gives the name without ':'
  Symbol,     // operators and punctuation: ( ) , . ; + - * / % = < > <= >= <> != !< !> || ::
  Space,      // whitespace and comments, kept so that untouched text round-trips
};

struct Token {
  TokenKind kind;
  std::string_view text;  // the exact source text
  size_t offset;          // position in the statement

  // The token's meaning: bare identifier, unescaped string, parameter name; else the text.
  std::string value() const;
  // True for a Word equal to `keyword` without regard to case.
  bool is(std::string_view keyword) const;
  bool isSymbol(std::string_view symbol) const {
    return kind == TokenKind::Symbol && text == symbol;
  }
};

// Splits a T-SQL statement into tokens. Throws db::Error(ErrorKind::Syntax) on an unterminated
// string, bracket or comment, naming the position.
std::vector<Token> tokenize(std::string_view sql);

// The tokens without Space tokens.
std::vector<Token> significant(const std::vector<Token>& tokens);

// The names of the parameters (without ':') in order of first appearance; a name used again,
// in any case, is the same parameter.
std::vector<std::string> parameterNamesOf(const std::vector<Token>& tokens);

}  // namespace db::embedded
