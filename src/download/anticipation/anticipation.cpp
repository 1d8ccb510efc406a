#include "download/anticipation/anticipation.h"

#include "download/anticipation/text.h"
#include "outside/package/check_result.h"

namespace download {

Anticipation::Anticipation(db::Connection& local, outside::AppServer& server,
                           ServerFileTransfer& files, const Services& services,
                           DownloadState& state, AnticipationMerges& merges, CleanupStage& cleanup)
    : local_(local),
      server_(server),
      files_(files),
      s_(services),
      state_(state),
      merges_(merges),
      cleanup_(cleanup),
      ledger_(local, services) {}

void Anticipation::anticipateConfTelaCaixa(const std::string& branch,
                                           const std::string& cashRegister) {
  s_.log(kDashes, "3");
  s_.log("Antecipando CONFTELACAIXA.", "3");
  s_.log("Início da Importação da Tabela: CONFTELACAIXA (Antecipado)", "3");
  std::vector<db::Value> args{db::Value(branch)};
  const db::Value result = server_.call("getConfTelaCaixa", args);
  db::DataSet& confTelaCaixa = state_.dataset("cdsConfTelaCaixa");
  outside::CheckResultServ(result, confTelaCaixa, "getConfTelaCaixa");
  s_.log("    Fim da Importação da Tabela: CONFTELACAIXA (Antecipado)", "2");
  s_.log("Registros: " + std::to_string(confTelaCaixa.recordCount()), "3");
  s_.log(" ", "3");
  s_.log("Inserindo dados da Importação na Tabela: CONFTELACAIXA", "2");
  merges_.mergeTable("CONFTELACAIXA", {});
  cleanup_.cleanScreenConfigurations(branch, cashRegister);
  s_.log(kDashes, "3");
}

void Anticipation::rollbackQuietly() {
  try {
    if (local_.inTransaction()) local_.rollback();
  } catch (const std::exception&) {
    // The catch-ups end quietly by design; a connection that cannot even roll back fails the
    // download's next statement with its own message.
  }
}

}  // namespace download
