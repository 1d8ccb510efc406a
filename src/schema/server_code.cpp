#include "schema/server_code.h"

#include "schema/procedure_sql.h"
#include "schema/trigger_sql.h"

namespace schema {
namespace {

constexpr std::string_view kDropCondition =
    "IF EXISTS (SELECT * FROM SYSOBJECTS O, SYSUSERS U WHERE O.NAME = '{name}' AND TYPE = "
    "'{type}' AND U.UID = O.UID AND U.NAME = USER) DROP {kind} {name}";

std::string replaced(std::string text, std::string_view placeholder, std::string_view value) {
  for (size_t at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + value.size()))
    text.replace(at, placeholder.size(), value);
  return text;
}

ServerCodeObject object(ServerCodeKind kind, std::string_view name, std::string_view logName,
                        std::string_view dropComponent, std::string_view createComponent,
                        std::string_view createText) {
  const bool procedure = kind == ServerCodeKind::Procedure;
  std::string drop = replaced(std::string(kDropCondition), "{name}", name);
  drop = replaced(drop, "{type}", procedure ? "P" : "TR");
  drop = replaced(drop, "{kind}", procedure ? "PROCEDURE" : "TRIGGER");
  return {kind, name, logName, dropComponent, createComponent, createText, std::move(drop)};
}

ServerCodeObject procedure(std::string_view name, std::string_view dropComponent,
                           std::string_view createComponent, std::string_view text) {
  return object(ServerCodeKind::Procedure, name, name, dropComponent, createComponent, text);
}

ServerCodeObject trigger(std::string_view name, std::string_view logName,
                         std::string_view dropComponent, std::string_view createComponent,
                         std::string_view text) {
  return object(ServerCodeKind::Trigger, name, logName, dropComponent, createComponent, text);
}

}  // namespace

const std::vector<ServerCodeObject>& storedProcedures() {
  static const std::vector<ServerCodeObject> list = {
      procedure("ATUALIZA_SALDO_CONS", "acmAtualizaSaldCons1", "acmAtualizaSaldCons2",
                sql::kAtualizaSaldoCons),
      procedure("NOVO_CODIGO", "acmNovoCodigo1", "acmNovoCodigo2", sql::kNovoCodigo),
      procedure("ATUALIZA_SALDO_CONS_FKB", "acmEvoluiExtratoCons1", "acmEvoluiExtratoCons2",
                sql::kAtualizaSaldoConsFkb),
  };
  return list;
}

const std::vector<ServerCodeObject>& triggers() {
  static const std::vector<ServerCodeObject> list = {
      trigger("KDSMENSAGEM_ON_DELETE", "KDSMENSAGEM_ON_DELETE", "acmApagaGeraLogKDS",
              "acmCriaGeraLogKDS", sql::kKdsMensagemOnDelete),
      trigger("LOG_DEL_EXTRATOCONS", "LOG_DEL_EXTRATOCONS", "acmApagaLogExt", "acmCriaLogExt",
              sql::kLogDelExtratoCons),
      trigger("INS_COMANDAVEN_TEMP", "INS_COMANDAVEN_TEMP", "acmDelComandaVenTemp",
              "acmCriaComandaVenTemp", sql::kInsComandaVenTemp),
      trigger("DEL_PEDIDO_DLV", "DEL_PEDIDO_DLV", "acmDelPedidoDlv", "acmCriaDelPedidoDlv",
              sql::kDelPedidoDlv),
      trigger("TRG_IDTIPOMOVIVEAUX_MOVCAIXA", "TRG_IDTIPOMOVIVEAUX_MOVCAIXA",
              "acmDeITrg_Idtipomoviveaux_movcaixa", "acmCriaTrg_Idtipomoviveaux_movcaixa",
              sql::kTrgIdTipoMoviveAuxMovCaixa),
      trigger("LOG_NFCE", "LOG_NFCE", "acmDelLog_Nfce", "acmCriaLog_Nfce", sql::kLogNfce),
      trigger("INS_HISTPEDCONS", "INS_HISTPEDCONS", "acmDelIns_HistPedCons",
              "acmCriaIns_HistPedCons", sql::kInsHistPedCons),
      trigger("INS_CMDLOG", "INS_CMD_LOG", "acmDelIns_Cmd_Log", "acmCriaIns_Cmd_Log",
              sql::kInsCmdLog),
      trigger("INS_ITCMD_LOG", "INS_ITCMD_LOG", "acmDelIns_ItCmd_Log", "acmCriaIns_ItCmd_Log",
              sql::kInsItCmdLog),
      trigger("VD_ITCMD", "VD_ITCMD", "acmDelVd_ItCmd", "acmCriaVd_ItCmd", sql::kVdItCmd),
  };
  return list;
}

}  // namespace schema
