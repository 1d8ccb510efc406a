#include "app/console_view.h"

#include "platform/terminal.h"

namespace app {
namespace {

constexpr int kBarWidth = 40;
constexpr const char* kEstruturaLabel = "Atualização da Estrutura  das Tabelas do Cache Local";
constexpr const char* kTabelasLabel = "Atualização dos Produtos, Preços, Menus, etc";

std::string bar(const ProgressBar& p) {
  const int span = p.max - p.min;
  const int filled = span > 0 ? (p.position - p.min) * kBarWidth / span : kBarWidth;
  return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] " +
         std::to_string(p.position) + "/" + std::to_string(p.max);
}

const char* ansiColour(MessageColour colour) {
  switch (colour) {
    case MessageColour::Green:
      return "\033[1;32m";
    case MessageColour::Red:
      return "\033[1;31m";
    case MessageColour::Black:
      break;
  }
  return "\033[1m";
}

}  // namespace

ConsoleView::Mode ConsoleView::modeFor(std::FILE* out) {
  return platform::isTerminal(out) ? Mode::Terminal : Mode::Plain;
}

void ConsoleView::setHidden(bool hidden) {
  if (hidden && mode_ == Mode::Terminal) eraseBars();
  mode_ = hidden ? Mode::Hidden : shownMode_;
}

void ConsoleView::eraseBars() {
  // Each bar takes a label line and a bar line.
  if (barsShown_) std::fputs("\033[4F\033[J", out_);
  barsShown_ = false;
}

void ConsoleView::drawBars() {
  std::fprintf(out_, "%s\n%s\n%s\n%s\n", kEstruturaLabel, bar(estrutura_).c_str(), kTabelasLabel,
               bar(tabelas_).c_str());
  barsShown_ = true;
}

void ConsoleView::logLine(std::string_view line) {
  if (mode_ == Mode::Hidden) return;
  if (mode_ == Mode::Terminal) eraseBars();
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fputc('\n', out_);
  // The bars come back with the progress that follows every log line.
  std::fflush(out_);
}

void ConsoleView::progress(const ProgressBar& estrutura, const ProgressBar& tabelas) {
  estrutura_ = estrutura;
  tabelas_ = tabelas;
  if (mode_ != Mode::Terminal) return;
  eraseBars();
  drawBars();
  std::fflush(out_);
}

void ConsoleView::finalMessage(std::string_view text, MessageColour colour) {
  if (mode_ == Mode::Hidden) return;
  const std::string shown(text);
  if (mode_ == Mode::Terminal)
    std::fprintf(out_, "%s%s\033[0m\n", ansiColour(colour), shown.c_str());
  else
    std::fprintf(out_, "%s\n", shown.c_str());
  std::fflush(out_);
}

}  // namespace app
