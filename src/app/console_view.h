#pragma once

#include <cstdio>
#include <string>

#include "app/run_view.h"

namespace app {

// The window on a console. On a terminal: log lines scroll above two labelled progress bars
// and the final message is shown in its colour. Elsewhere: plain lines, no bars. Hidden: shows
// nothing at all (the SYNC form).
class ConsoleView : public RunView {
 public:
  enum class Mode { Terminal, Plain, Hidden };

  ConsoleView(std::FILE* out, Mode mode) : out_(out), mode_(mode), shownMode_(mode) {}
  // Terminal when `out` is one, else plain.
  static Mode modeFor(std::FILE* out);

  void setHidden(bool hidden) override;
  void logLine(std::string_view line) override;
  void progress(const ProgressBar& estrutura, const ProgressBar& tabelas) override;
  void finalMessage(std::string_view text, MessageColour colour) override;

 private:
  void eraseBars();
  void drawBars();

  std::FILE* out_;
  Mode mode_;
  Mode shownMode_;
  bool barsShown_ = false;
  ProgressBar estrutura_{1, 25, 1};
  ProgressBar tabelas_{1, 327, 1};
};

}  // namespace app
