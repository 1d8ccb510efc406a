#pragma once

#include <string_view>

namespace app {

// A progress bar of the window: starts at its minimum, only moves forward, stops at its maximum.
struct ProgressBar {
  int min;
  int max;
  int position;

  void advance() {
    if (position < max) ++position;
  }
};

enum class MessageColour { Green, Red, Black };

// What the window shows: the log lines, the two progress bars and the final message.
class RunView {
 public:
  virtual ~RunView() = default;
  // The SYNC form runs with the window hidden.
  virtual void setHidden(bool hidden) = 0;
  virtual void logLine(std::string_view line) = 0;
  virtual void progress(const ProgressBar& estrutura, const ProgressBar& tabelas) = 0;
  virtual void finalMessage(std::string_view text, MessageColour colour) = 0;
};

}  // namespace app
