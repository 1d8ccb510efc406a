#include "app/run_log.h"

#include "db/core/text.h"

namespace app {

std::string logTimestamp(db::DateTime when) { return when.format("dd/mm/yyyy hh:nn:ss"); }

RunLog::RunLog(std::filesystem::path programDirectory, Clock clock)
    : directory_(directoryBelow(programDirectory)), clock_(std::move(clock)) {}

std::filesystem::path RunLog::directoryBelow(const std::filesystem::path& programDirectory) {
  return programDirectory / "Dados" / "Kiv_Tab";
}

std::filesystem::path RunLog::fileFor(db::DateTime day) const {
  return directory_ / ("Kiv_Tab" + day.format("ddmmyy") + ".txt");
}

void RunLog::traceTo(const std::filesystem::path& path) {
  trace_.reset(std::fopen(path.c_str(), "w"));
  if (!trace_) throw LogError("cannot create the trace file " + path.string());
}

void RunLog::GravaLog(std::string_view message, std::string_view level) {
  const db::DateTime now = clock_();
  const std::filesystem::path path = fileFor(now);
  const std::string line = logTimestamp(now) + " - " + std::string(message);
  const std::string bytes = db::utf8ToCp1252(line) + "\r\n";
  {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "ab"));
    if (!file) throw LogError("cannot open the run log " + path.string());
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fclose(file.release()) != 0)
      throw LogError("cannot write the run log " + path.string());
  }
  if (trace_) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started_);
    std::fprintf(trace_.get(), "%lld\t%.*s\n", static_cast<long long>(elapsed.count()),
                 static_cast<int>(message.size()), message.data());
    std::fflush(trace_.get());
  }
  if (level == "1") prgEstrutura_.advance();
  if (level == "2") prgTabelas_.advance();
  if (view_) {
    view_->logLine(logTimestamp(clock_()) + " - " + std::string(message));
    view_->progress(prgEstrutura_, prgTabelas_);
  }
}

}  // namespace app
