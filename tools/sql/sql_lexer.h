#pragma once

#include <cstddef>
#include <string_view>

namespace kivtab_sql {

// Where a scan stands between chunks of SQL text: inside a quoted text or name, or a comment.
struct LexState {
  char closingQuote = 0;  // ', " or ] while inside a quoted text or name
  int commentDepth = 0;   // nesting of /* */ comments (they nest in T-SQL)
  bool lineComment = false;

  bool inCode() const { return closingQuote == 0 && commentDepth == 0 && !lineComment; }
};

// Calls onCode(index) for every character of `text` that is statement code: outside comments,
// with the quote characters that open and close a quoted text or name counted as code but their
// contents not. `state` carries over between successive chunks of one text.
template <typename OnCode>
void scanCode(std::string_view text, LexState& state, OnCode&& onCode) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (state.lineComment) {
      if (c == '\n') state.lineComment = false;
    } else if (state.commentDepth > 0) {
      if (c == '/' && next == '*') {
        ++state.commentDepth;
        ++i;
      } else if (c == '*' && next == '/') {
        --state.commentDepth;
        ++i;
      }
    } else if (state.closingQuote != 0) {
      if (c != state.closingQuote) continue;
      if (next == state.closingQuote) {
        ++i;  // a doubled quote stands for itself
        continue;
      }
      state.closingQuote = 0;
      onCode(i);
    } else if (c == '-' && next == '-') {
      state.lineComment = true;
      ++i;
    } else if (c == '/' && next == '*') {
      state.commentDepth = 1;
      ++i;
    } else {
      if (c == '\'' || c == '"') state.closingQuote = c;
      if (c == '[') state.closingQuote = ']';
      onCode(i);
    }
  }
}

}  // namespace kivtab_sql
