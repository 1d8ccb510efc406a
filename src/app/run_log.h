#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/run_view.h"
#include "db/core/value.h"

namespace app {

using Clock = std::function<db::DateTime()>;

// A log file that cannot be written; the text names the file.
class LogError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "07/12/2026 06:35:10": the day-first short date and long time of the logs.
std::string logTimestamp(db::DateTime when);

// The daily run log Dados/Kiv_Tab/Kiv_Tab<DDMMYY>.txt below the program directory, in code page
// 1252 with CR LF line ends, and the window's log box and progress bars.
class RunLog {
 public:
  static constexpr int kEstruturaMax = 25;
  static constexpr int kTabelasMax = 327;

  explicit RunLog(std::filesystem::path programDirectory, Clock clock = &db::DateTime::now);

  static std::filesystem::path directoryBelow(const std::filesystem::path& programDirectory);
  std::filesystem::path fileFor(db::DateTime day) const;

  // Appends "<date time> - <message>" to the day's file, then shows it; level "1" advances the
  // schema bar, "2" the table bar. Raises LogError when the file cannot be written, before the
  // view is touched.
  void GravaLog(std::string_view message, std::string_view level);

  void setView(RunView* view) { view_ = view; }
  // Also writes every line, with the milliseconds since this log was made, to `path` (UTF-8, one
  // line each): the benchmarks read where a run's time goes from it. Raises LogError when the
  // file cannot be created.
  void traceTo(const std::filesystem::path& path);
  const ProgressBar& prgEstrutura() const { return prgEstrutura_; }
  const ProgressBar& prgTabelas() const { return prgTabelas_; }

 private:
  std::filesystem::path directory_;
  Clock clock_;
  RunView* view_ = nullptr;
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, FileCloser> trace_;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  ProgressBar prgEstrutura_{1, kEstruturaMax, 1};
  ProgressBar prgTabelas_{1, kTabelasMax, 1};
};

}  // namespace app
