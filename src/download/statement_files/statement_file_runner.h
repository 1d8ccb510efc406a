#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

#include "db/core/connection.h"
#include "download/services.h"

namespace download {

struct FileRunResult {
  int64_t statements = 0;  // statements run, including those of a batch later rolled back
  bool failed = false;
};

// Runs a statement file, one statement per line, against the local connection in transactions
// of kBatchSize statements. A line runs only when it is one INSERT of constants into the file
// kind's own table; any other line is refused like a failing one. A failing statement rolls back
// only its own batch, stops the file and is logged with its line number, table and columns but
// without its values (they may hold passwords); earlier batches stay committed. A failure of
// afterStatement (the keep-alive) commits the statements run so far and raises to the caller. Blank
// lines are skipped; a line that is not valid UTF-8 is read as code page 1252.
class StatementFileRunner {
 public:
  static constexpr int64_t kBatchSize = 5000;

  StatementFileRunner(db::Connection& conn, const Services& services,
                      std::function<void()> afterStatement)
      : conn_(conn), s_(services), afterStatement_(std::move(afterStatement)) {}

  // table: the one table the lines may insert into. logBatches: whether each commit logs the
  // statements run so far.
  FileRunResult run(const std::filesystem::path& file, std::string_view label,
                    std::string_view table, bool logBatches);

 private:
  db::Connection& conn_;
  const Services& s_;
  std::function<void()> afterStatement_;
};

bool isValidUtf8(std::string_view text);

}  // namespace download
