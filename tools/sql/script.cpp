#include "script.h"

#include <cctype>
#include <charconv>
#include <optional>

#include "db/core/text.h"
#include "sql_lexer.h"

namespace kivtab_sql {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBatchSeparator = "GO";

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The repeat count of a "GO [count]" line; nothing when the line is no separator.
std::optional<int> separatorCount(std::string_view line) {
  line = db::trim(line);
  if (line.size() < kBatchSeparator.size() ||
      !db::iequals(line.substr(0, kBatchSeparator.size()), kBatchSeparator))
    return std::nullopt;
  const std::string_view rest = db::trim(line.substr(kBatchSeparator.size()));
  if (rest.empty()) return 1;
  if (!isBlank(line[kBatchSeparator.size()])) return std::nullopt;
  int count = 0;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), count);
  if (ec != std::errc() || end != rest.data() + rest.size() || count < 1) return std::nullopt;
  return count;
}

class Splitter {
 public:
  void addLine(std::string_view line) {
    if (state_.inCode()) {
      if (auto count = separatorCount(line)) {
        flush(*count);
        return;
      }
    }
    const size_t start = current_.size();
    current_ += line;
    current_ += '\n';
    scanCode(std::string_view(current_).substr(start), state_, [&](size_t i) {
      if (!isBlank(current_[start + i])) hasCode_ = true;
    });
  }

  std::vector<std::string> finish() {
    flush(1);
    return std::move(batches_);
  }

 private:
  void flush(int count) {
    if (hasCode_)
      for (int i = 0; i < count; ++i) batches_.emplace_back(db::trim(current_));
    current_.clear();
    hasCode_ = false;
  }

  LexState state_;
  std::string current_;
  bool hasCode_ = false;
  std::vector<std::string> batches_;
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

}  // namespace kivtab_sql
