#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/embedded/tokenizer.h"

// Reading a statement's significant tokens front to back, with errors that quote the statement.
namespace db::embedded::ddl {

class TokenCursor {
 public:
  TokenCursor(const std::vector<Token>& tokens, std::string_view sql) : tokens_(tokens), sql_(sql) {
    // A trailing ';' ends the statement and means nothing more.
    end_ = tokens_.size();
    while (end_ > 0 && tokens_[end_ - 1].isSymbol(";")) --end_;
  }

  bool atEnd() const { return pos_ >= end_; }
  size_t position() const { return pos_; }
  void seek(size_t pos) { pos_ = pos; }
  const Token& peek(size_t ahead = 0) const;
  bool peekIs(std::string_view keyword, size_t ahead = 0) const;
  bool peekSymbol(std::string_view symbol, size_t ahead = 0) const;

  // Consumes the keyword (or symbol) when it is next.
  bool accept(std::string_view keyword);
  bool acceptSymbol(std::string_view symbol);
  void expect(std::string_view keyword);
  void expectSymbol(std::string_view symbol);
  void expectEnd();

  // An object name, possibly qualified (dbo.NAME, [db].[dbo].[NAME]); the last part.
  std::string name();
  // "(a, b DESC, c)": the names, ASC/DESC skipped.
  std::vector<std::string> nameList();
  // Tokens up to (not including) the first top-level token satisfying `stop`, or the end.
  template <typename Stop>
  std::vector<Token> until(Stop stop) {
    std::vector<Token> out;
    int depth = 0;
    while (!atEnd()) {
      const Token& t = tokens_[pos_];
      if (depth == 0 && stop(t)) break;
      if (t.isSymbol("(")) ++depth;
      if (t.isSymbol(")")) --depth;
      out.push_back(t);
      ++pos_;
    }
    return out;
  }

  [[noreturn]] void syntax(const std::string& what) const;
  [[noreturn]] void unsupported(const std::string& construct) const;
  std::string_view sql() const { return sql_; }

 private:
  const std::vector<Token>& tokens_;
  std::string_view sql_;
  size_t pos_ = 0;
  size_t end_ = 0;
};

}  // namespace db::embedded::ddl
