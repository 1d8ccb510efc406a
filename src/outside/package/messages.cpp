#include "outside/package/messages.h"

#include <stdexcept>

namespace outside {

const std::string& Messages::Msg(std::string_view key) const {
  const auto it = texts_.find(key);
  if (it == texts_.end()) throw std::out_of_range("no message with key " + std::string(key));
  return it->second;
}

const Messages& msgPadrao() {
  static const Messages table{
      {"DE", " de "},
      {"Caixa_Sem", "Caixa sem string de conexão."},
      {"CANC", "O processo de exportação foi cancelado."},
  };
  return table;
}

}  // namespace outside
