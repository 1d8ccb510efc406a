#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/connection.h"
#include "download/download_state.h"
#include "download/keep_alive.h"
#include "download/services.h"

namespace load {

// What the load needs from the program around it; the wiring adapts the run's log, error log,
// message dialog and run flag to these callbacks, and tests record them.
struct LoadEnvironment {
  download::LogFn log = [](std::string_view, std::string_view) {};
  // The per-register error log (GravaLogErro) for the run's branch and register.
  std::function<void(std::string_view text)> logError = [](std::string_view) {};
  std::function<void(std::string_view text)> showMessage = [](std::string_view) {};
  std::function<void()> clearRunFlag = [] {};
  std::function<void()> processMessages = [] {};
  std::function<db::DateTime()> now = &db::DateTime::now;
  // The run's cancel request.
  std::function<bool()> cancelled = [] { return false; };
  std::filesystem::path programDirectory;
};

// The shared pieces every load step works with: the local connection (adcCliExp), the
// downloaded datasets and the keep-alive of the server connection.
struct LoadContext {
  db::Connection& conn;
  download::DownloadState& state;
  const LoadEnvironment& env;
  download::KeepAlive& keepAlive;

  void log(std::string_view message, std::string_view level) const { env.log(message, level); }
  // The named dataset, or nullptr when it is absent, closed or holds no row.
  db::DataSet* rowsOf(std::string_view datasetName) const;
};

// A statement text with its "{T}" replaced by a table name from the load's fixed lists.
std::string withTable(std::string_view sql, std::string_view table);

// The column names of a local table, in column order.
std::vector<std::string> tableColumns(db::Connection& conn, std::string_view table);

// The first value of a one-row query, or NULL when it returns no row.
db::Value scalar(db::Connection& conn, std::string_view sql, const db::Params& params = {});

// The greatest non-null value of a dataset's column (NULL when none), read without moving the
// caller's position in any way that matters: the dataset is left on its first row.
db::Value greatestOf(db::DataSet& dataSet, std::string_view column);

inline constexpr std::string_view kDashes = "-------------------------------------";

}  // namespace load
