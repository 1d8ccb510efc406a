#include "script.h"

#include <cctype>

#include "db/core/text.h"
#include "sql_lexer.h"

namespace kivtab_sql {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBatchSeparator = "GO";

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

class Splitter {
 public:
  void addLine(std::string_view line) {
    if (state_.inCode() && db::iequals(db::trim(line), kBatchSeparator)) {
      flush();
      return;
    }
    const size_t start = current_.size();
    current_ += line;
    current_ += '\n';
    size_t lastCode = std::string::npos;
    scanCode(std::string_view(current_).substr(start), state_, [&](size_t i) {
      if (isBlank(current_[start + i])) return;
      hasCode_ = true;
      lastCode = start + i;
    });
    if (state_.inCode() && lastCode != std::string::npos && current_[lastCode] == ';') {
      current_.resize(lastCode);
      flush();
    }
  }

  std::vector<std::string> finish() {
    flush();
    return std::move(statements_);
  }

 private:
  void flush() {
    if (hasCode_) statements_.emplace_back(db::trim(current_));
    current_.clear();
    hasCode_ = false;
  }

  LexState state_;
  std::string current_;
  bool hasCode_ = false;
  std::vector<std::string> statements_;
};

}  // namespace

std::vector<std::string> splitScript(std::string_view script) {
  if (script.starts_with(kByteOrderMark)) script.remove_prefix(kByteOrderMark.size());
  Splitter splitter;
  while (!script.empty()) {
    const size_t end = script.find('\n');
    std::string_view line = script.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    splitter.addLine(line);
    script.remove_prefix(end == std::string_view::npos ? script.size() : end + 1);
  }
  return splitter.finish();
}

bool returnsRows(std::string_view statement) {
  LexState state;
  std::vector<std::string> words;
  size_t previous = std::string_view::npos;
  scanCode(statement, state, [&](size_t i) {
    const char c = statement[i];
    // A skipped comment or quoted text between two code characters also ends a word.
    const bool continuesWord = !words.empty() && previous != std::string_view::npos &&
                               i == previous + 1 && isWordChar(statement[previous]);
    previous = i;
    if (!isWordChar(c)) return;
    if (!continuesWord) words.emplace_back();
    words.back() += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  });
  if (words.empty() || (words.front() != "SELECT" && words.front() != "WITH")) return false;
  for (const auto& w : words)
    if (w == "INTO") return false;
  return true;
}

}  // namespace kivtab_sql
