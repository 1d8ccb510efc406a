#pragma once

#include <optional>
#include <string>

#include "db/core/value.h"

namespace app {

// The central register record that getCxServidor returns.
struct RegisterRecord {
  std::string ipServPri;     // server host the register should use; empty for no change
  std::string idAutoImpTab;  // "N": no automatic import without "ATU"
};

// Passes the result through CheckResultServ; nothing when the packet holds no row. Raises when
// the result is no data packet or lacks either field.
std::optional<RegisterRecord> readRegisterRecord(const db::Value& result);

}  // namespace app
