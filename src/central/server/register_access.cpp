#include "central/server/register_access.h"

#include <array>

#include "central/server/method_table.h"
#include "db/core/text.h"

namespace central::server {
namespace {

struct BranchArgument {
  std::string_view object;
  std::string_view method;
  size_t index;
};

// Where each method that serves branch data takes its branch (docs/protocol.md).
constexpr std::array<BranchArgument, 16> kBranchArguments{{
    {kExportObject, "getCxServidor", 0},
    {kExportObject, "getSintegraQir", 1},
    {kExportObject, "getNRORG", 0},
    {kExportObject, "getTabelas", 0},
    {kExportObject, "getTabelaCons", 0},
    {kExportObject, "getDtMaxITMENUCONFTE", 0},
    {kExportObject, "getDtMaxItemPreco", 0},
    {kExportObject, "getDtMaxItemPrecoDia", 0},
    {kExportObject, "setGeraArquivo", 3},
    {kExportObject, "setApagaArquivo", 1},
    {kExportObject, "getTotalConsDT", 0},
    {kExportObject, "getTotalConsCF", 0},
    {kExportObject, "getClienFilialAtual", 0},
    {kExportObject, "getConfTelaCaixa", 0},
    {kExportObject, "getDtCtrlAtualTab", 5},
    {kExportObject, "getDadosTabCtrl", 4},
}};

}  // namespace

const RegisterIdentity& authenticate(const RegisterTokens& tokens, std::string_view header) {
  const RegisterIdentity* who = nullptr;
  if (db::iequals(header.substr(0, 7), "Bearer ")) who = tokens.find(header.substr(7));
  if (!who) throw AccessRefused(401, "access refused: the register presented no valid token");
  return *who;
}

void checkBranchArgument(const RegisterIdentity& caller, std::string_view object,
                         std::string_view method, const std::vector<db::Value>& args) {
  for (const auto& entry : kBranchArguments) {
    if (!db::iequals(entry.object, object) || !db::iequals(entry.method, method)) continue;
    if (entry.index >= args.size()) return;  // the argument check names the missing argument
    const std::string branch = args[entry.index].isNull() ? "" : args[entry.index].asText();
    if (branch != caller.branch)
      throw AccessRefused(403, "access refused: a register of branch " + caller.branch +
                                   " may not read branch " + branch);
    return;
  }
}

}  // namespace central::server
