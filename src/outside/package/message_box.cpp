#include "outside/package/message_box.h"

#include <iostream>

namespace outside {
namespace {

MessageSink& sink() {
  static MessageSink current = [](std::string_view text) { std::cerr << text << '\n'; };
  return current;
}

std::string_view kindLabel(std::string_view kind) {
  if (kind == "E") return "Erro";
  if (kind == "A") return "Aviso";
  return "Informação";
}

}  // namespace

void setMessageSink(MessageSink s) { sink() = std::move(s); }

void Mensagem(std::string_view kind, std::string_view text, std::string_view detail) {
  std::string shown = std::string(kindLabel(kind)) + ": " + std::string(text);
  if (!detail.empty()) shown += "\n" + std::string(detail);
  sink()(shown);
}

void ShowDetailError(std::string_view message, std::string_view detail) {
  Mensagem("E", message, detail);
}

}  // namespace outside
