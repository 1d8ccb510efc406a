#include "db/embedded/ddl/token_cursor.h"

#include "db/core/error.h"
#include "db/core/text.h"

namespace db::embedded::ddl {
namespace {

const Token kEnd{TokenKind::Space, "", 0};

}  // namespace

const Token& TokenCursor::peek(size_t ahead) const {
  return pos_ + ahead < end_ ? tokens_[pos_ + ahead] : kEnd;
}

bool TokenCursor::peekIs(std::string_view keyword, size_t ahead) const {
  return peek(ahead).is(keyword);
}

bool TokenCursor::peekSymbol(std::string_view symbol, size_t ahead) const {
  return peek(ahead).isSymbol(symbol);
}

bool TokenCursor::accept(std::string_view keyword) {
  if (!peekIs(keyword)) return false;
  ++pos_;
  return true;
}

bool TokenCursor::acceptSymbol(std::string_view symbol) {
  if (!peekSymbol(symbol)) return false;
  ++pos_;
  return true;
}

void TokenCursor::expect(std::string_view keyword) {
  if (!accept(keyword)) syntax(std::string(keyword) + " expected");
}

void TokenCursor::expectSymbol(std::string_view symbol) {
  if (!acceptSymbol(symbol)) syntax("'" + std::string(symbol) + "' expected");
}

void TokenCursor::expectEnd() {
  if (!atEnd()) syntax("unexpected text");
}

std::string TokenCursor::name() {
  auto isName = [](const Token& t) {
    return t.kind == TokenKind::Word || t.kind == TokenKind::Quoted;
  };
  if (!isName(peek())) syntax("a name expected");
  std::string last = peek().value();
  ++pos_;
  while (peekSymbol(".")) {
    ++pos_;
    while (peekSymbol(".")) ++pos_;  // db..name
    if (!isName(peek())) syntax("a name expected after '.'");
    last = peek().value();
    ++pos_;
  }
  return last;
}

std::vector<std::string> TokenCursor::nameList() {
  expectSymbol("(");
  std::vector<std::string> out;
  do {
    out.push_back(name());
    if (!accept("ASC")) accept("DESC");
  } while (acceptSymbol(","));
  expectSymbol(")");
  return out;
}

void TokenCursor::syntax(const std::string& what) const {
  const std::string near = atEnd() ? "at the end" : "near '" + std::string(peek().text) + "'";
  throw Error(ErrorKind::Syntax, "Incorrect syntax " + near + ": " + what, std::string(sql_));
}

void TokenCursor::unsupported(const std::string& construct) const {
  throw Error(ErrorKind::Unsupported, "Not supported by the embedded engine: " + construct,
              std::string(sql_));
}

}  // namespace db::embedded::ddl
