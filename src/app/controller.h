#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/connections.h"
#include "app/error_log.h"
#include "app/remote_status.h"
#include "app/run_flag.h"
#include "app/run_log.h"
#include "app/run_slots.h"
#include "app/run_steps.h"
#include "app/run_view.h"
#include "outside/package/package.h"

namespace app {

// Final messages of a run.
namespace final_text {
inline constexpr std::string_view kSucesso = "ATUALIZAÇÃO REALIZADA COM SUCESSO";
inline constexpr std::string_view kErro = "OCORREU UM ERRO DURANTE A ATUALIZAÇÃO";
inline constexpr std::string_view kOutraFilial =
    "BANCO DE DADOS LOCAL JÁ CARREGADO PARA OUTRA FILIAL";
inline constexpr std::string_view kNaoParametrizado =
    "Este caixa não se encontra parametrizado para realizar a atualização da base local.";
inline constexpr std::string_view kFiscal = "Geração de arquivos";
}  // namespace final_text

struct RunOutcome {
  bool success = false;        // the run-success flag at the end
  bool updateAllowed = false;  // the register check let the run update (or a fiscal mode ran)
  std::string finalMessage;
  MessageColour colour = MessageColour::Green;
};

// The whole run of one parameter string, in the fixed order: parameters, remote status, the
// register check on the central server, the local update (structure, foreign keys, column-type
// repair, branch check, table download), site hooks and consumer-central setups, the final
// message and status. The single-instance guard and the close timer belong to the caller.
class Controller {
 public:
  Controller(const outside::Package& package, RunLog& log, ErrorLog& errorLog, RunView& view,
             RunSteps& steps, ConnectionFactories factories, ParameterFileReader parameterFile);
  ~Controller();

  // Exceptions the run's own handlers do not cover (a remote-execution id that is not an
  // integer, a failing query of the branch tables, an unwritable run log) escape after the
  // status row, when there is one, was told "NOK".
  RunOutcome run(std::string_view argument);

  // The register check: true when this register may update its local database.
  bool VerificaCaixaServidor();

 private:
  RunOutcome runSteps(std::string_view argument);
  RunOutcome rejectParameters(const ParameterError& error);
  void updateLocalDatabase();
  void BaixaEstruturaMSDE();
  void repairColumnType();
  void checkBranchAndDownload();
  void afterSuccessfulUpdate();
  void rewriteIPServer(const std::string& ipServPri);
  RunOutcome finish(std::string_view text, MessageColour colour, bool updateAllowed);
  db::Connection& adcBaixaTabelas();
  RemoteStatus statusRow(std::optional<int64_t> id);
  RunContext context();

  const outside::Package& package_;
  RunLog& log_;
  ErrorLog& errorLog_;
  RunView& view_;
  RunSteps& steps_;
  ParameterFileReader parameterFile_;
  RunFlag flag_;
  RunSlots slots_;
  Connections connections_;
  std::unique_ptr<db::Connection> adcBaixaTabelas_;
  RemoteStatus status_;
};

}  // namespace app
