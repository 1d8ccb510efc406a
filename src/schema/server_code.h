#pragma once

#include <string>
#include <string_view>
#include <vector>

// The procedures and triggers the structure step installs in the local database, with the
// commands that drop and create each one.
namespace schema {

enum class ServerCodeKind { Procedure, Trigger };

struct ServerCodeObject {
  ServerCodeKind kind;
  std::string_view name;             // as the database knows it
  std::string_view logName;          // as the run log names it
  std::string_view dropComponent;    // the command that drops it
  std::string_view createComponent;  // the command that creates it
  std::string_view createText;
  // Drops the object only when one of that name, owned by the current database user, exists.
  std::string dropText;
};

// ATUALIZA_SALDO_CONS, NOVO_CODIGO and ATUALIZA_SALDO_CONS_FKB, in the order they are installed.
const std::vector<ServerCodeObject>& storedProcedures();
// The ten triggers, in the order they are installed.
const std::vector<ServerCodeObject>& triggers();

}  // namespace schema
