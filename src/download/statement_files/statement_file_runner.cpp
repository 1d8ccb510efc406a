#include "download/statement_files/statement_file_runner.h"

#include <exception>
#include <fstream>
#include <stdexcept>
#include <string>

#include "db/core/text.h"
#include "download/statement_files/insert_fast_path.h"

namespace download {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kMaskedValue = "***";
// Shorter constants (codes, flags) are no secrets and would mask parts of ordinary words.
constexpr size_t kShortestMaskedText = 3;

bool isBlank(std::string_view line) { return db::trim(line).empty(); }

// The owner may qualify the table; a three-part name would reach another database.
bool isOwnTable(std::string_view table, std::string_view own) {
  const size_t dot = table.find('.');
  if (dot != std::string_view::npos) {
    if (table.find('.', dot + 1) != std::string_view::npos) return false;
    table.remove_prefix(dot + 1);
  }
  return !own.empty() && db::iequals(table, own);
}

// A line refused or failed: the text names the line, never the values on it.
class LineFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The statement as the log shows it: table and columns, the values left out.
std::string withoutValues(const InsertLine& line) {
  return std::string(line.head) + " VALUES (...)";
}

// A database message may quote a value of the statement; those are masked too.
std::string maskValues(std::string message, const InsertLine& line) {
  for (size_t i = 0; i < line.valueCount; ++i) {
    const std::string& text = line.values[i].text;
    if (line.values[i].kind != Literal::Kind::Text || text.size() < kShortestMaskedText) continue;
    for (size_t at; (at = message.find(text)) != std::string::npos;)
      message.replace(at, text.size(), kMaskedValue);
  }
  return message;
}

// One run of one file: its batch, the line it is at, and what the log may show of that line.
class FileRun {
 public:
  FileRun(db::Connection& conn, const Services& services,
          const std::function<void()>& afterStatement, std::string_view label,
          std::string_view table, bool logBatches)
      : conn_(conn),
        s_(services),
        afterStatement_(afterStatement),
        label_(label),
        table_(table),
        logBatches_(logBatches),
        fastPath_(conn) {}

  FileRunResult run(const std::filesystem::path& file) {
    // The keep-alive is not a statement: its failure ends the file but reaches the caller, and
    // what ran before it worked and is kept.
    std::exception_ptr keepAliveFailure;
    try {
      std::ifstream in(file, std::ios::binary);
      if (!in) throw std::runtime_error("cannot open " + file.string());
      for (bool first = true; std::getline(in, line_); first = false) {
        ++lineNumber_;
        taken_ = false;
        const std::string_view statement = statementOfLine(first);
        if (statement.empty()) continue;
        start();
        runStatement(statement);
        try {
          afterStatement_();
        } catch (const std::exception&) {
          keepAliveFailure = std::current_exception();
          break;
        }
      }
      if (in.bad()) throw std::runtime_error("cannot read " + file.string());
      if (started_ && conn_.inTransaction()) conn_.commit();
    } catch (const std::exception& e) {
      if (conn_.inTransaction()) conn_.rollback();
      result_.failed = true;
      std::string shown;
      if (lineNumber_ > 0) shown = "linha " + std::to_string(lineNumber_);
      if (taken_) shown += ": " + withoutValues(parsed_);
      s_.info("Erro no insert da tabela " + label_ + " -> " + e.what() + " -> " + shown);
    }
    if (keepAliveFailure) std::rethrow_exception(keepAliveFailure);
    return result_;
  }

 private:
  // The statement on the line just read, UTF-8; empty for a blank line.
  std::string_view statementOfLine(bool first) {
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    std::string_view statement = line_;
    if (first && statement.starts_with(kUtf8Bom)) statement.remove_prefix(kUtf8Bom.size());
    if (isBlank(statement)) return {};
    if (isValidUtf8(statement)) return statement;
    converted_ = db::cp1252ToUtf8(statement);
    return converted_;
  }

  // The first statement opens the batch, so a file of blank lines logs nothing.
  void start() {
    if (started_) return;
    if (!conn_.inTransaction()) conn_.begin();
    started_ = true;
    s_.info("-------------------------------------");
    s_.info("Início da inserção da tabela " + label_ + "...");
  }

  void runStatement(std::string_view statement) {
    parsed_.valueCount = 0;
    const bool plain = parseInsertLine(statement, parsed_);
    if (!plain && !parseInsertOfConstants(statement, parsed_))
      throw LineFailure("linha recusada: só INSERT de constantes é aceito");
    if (!isOwnTable(parsed_.table, table_))
      throw LineFailure("linha recusada: só INSERT INTO " + std::string(table_) + " é aceito");
    taken_ = true;
    try {
      if (!plain || !fastPath_.tryRun(parsed_)) conn_.execute(statement);
    } catch (const std::exception& e) {
      throw LineFailure(maskValues(e.what(), parsed_));
    }
    ++result_.statements;
    if (++sinceCommit_ == StatementFileRunner::kBatchSize) commitBatch();
  }

  void commitBatch() {
    conn_.commit();
    if (logBatches_)
      s_.info("Registros da tabela " + label_ +
              " inseridos: " + std::to_string(result_.statements));
    s_.processMessages();
    conn_.begin();
    sinceCommit_ = 0;
  }

  db::Connection& conn_;
  const Services& s_;
  const std::function<void()>& afterStatement_;
  const std::string label_;
  std::string_view table_;
  bool logBatches_;
  InsertFastPath fastPath_;
  InsertLine parsed_;
  std::string line_;
  std::string converted_;
  FileRunResult result_;
  int64_t lineNumber_ = 0;
  int64_t sinceCommit_ = 0;
  bool started_ = false;
  bool taken_ = false;  // the line passed the checks: its table and columns may be shown
};

}  // namespace

bool isValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t extra = 0;
    if ((c & 0xE0) == 0xC0 && c >= 0xC2)
      extra = 1;
    else if ((c & 0xF0) == 0xE0)
      extra = 2;
    else if ((c & 0xF8) == 0xF0 && c <= 0xF4)
      extra = 3;
    else
      return false;
    if (i + extra >= text.size()) return false;
    for (size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

FileRunResult StatementFileRunner::run(const std::filesystem::path& file, std::string_view label,
                                       std::string_view table, bool logBatches) {
  return FileRun(conn_, s_, afterStatement_, label, table, logBatches).run(file);
}

}  // namespace download
