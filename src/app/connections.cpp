#include "app/connections.h"

#include <charconv>

#include "db/connect.h"
#include "db/core/connection_string.h"
#include "db/core/text.h"

namespace app {
namespace {

constexpr std::string_view kSemConexao = "Sem conexão com servidor central.";
constexpr std::string_view kVersaoBanco =
    "SELECT CONVERT(VARCHAR, SERVERPROPERTY('productversion')) AS VERSAO";
constexpr int kFirstCurrentVersion = 9;
constexpr std::string_view kOracle = "ORACLE";
// The structure module reaches a local Oracle database through this provider whatever the
// stored string names.
constexpr std::string_view kOracleProvider = "MSDAORA";
constexpr std::string_view kMirrorSkipped = "Espelho central de consumidores ignorado: a base ";
constexpr std::string_view kMirrorIsLocal = " seria a própria base local.";

bool isOpen(const std::unique_ptr<db::Connection>& c) { return c && c->isOpen(); }

void disconnect(std::unique_ptr<db::Connection>& c) {
  if (c) c->close();
  c.reset();
}

// How every Open step reports a failure: the lost central connection at the step's log level;
// the steps whose failure fails the run also clear the run-success flag.
template <typename Open>
bool openOrReport(RunLog& log, std::string_view level, RunFlag* failsRun, Open&& open) {
  try {
    open();
    return true;
  } catch (const std::exception&) {
    log.GravaLog(kSemConexao, level);
    if (failsRun) failsRun->clear();
    return false;
  }
}

}  // namespace

bool isOldServerVersion(std::string_view version) {
  if (version.empty()) return false;
  const std::string_view major = version.substr(0, version.find('.'));
  int number = 0;
  const auto [end, ec] = std::from_chars(major.data(), major.data() + major.size(), number);
  if (major.empty() || ec != std::errc() || end != major.data() + major.size())
    throw std::invalid_argument("server version is not a number: \"" + std::string(version) + "\"");
  return number < kFirstCurrentVersion;
}

ConnectionFactories ConnectionFactories::standard(const outside::Package& package) {
  return {[](std::string_view s) { return db::connect(s); },
          [&package](std::string objectName) {
            return outside::connectionTo(package, std::move(objectName));
          }};
}

Connections::Connections(const outside::Package& package, RunLog& log, RunFlag& flag,
                         ConnectionFactories factories)
    : package_(package), log_(log), flag_(flag), factories_(std::move(factories)) {}

Connections::~Connections() = default;

std::unique_ptr<db::Connection> Connections::openLocal(const std::string& connectionString) const {
  if (db::trim(connectionString).empty())
    throw db::Error(db::ErrorKind::Connection,
                    "no local connection string: set " + std::string(package_._sStringConex) +
                        " under [" + std::string(package_._sSiteWebSrvKey) + "] in " +
                        package_.registryPath().string());
  return factories_.database(connectionString);
}

void Connections::connectServer(outside::AppServer& server) {
  if (!server.connected()) server.connect();
}

std::unique_ptr<outside::AppServer> Connections::serverTried(std::string objectName) {
  std::unique_ptr<outside::AppServer> server = factories_.server(std::move(objectName));
  try {
    connectServer(*server);
  } catch (const std::exception&) {
    // The Open step connects again and reports.
  }
  return server;
}

BaixaEstruturaModule& Connections::dtmBaixaEstrutura() {
  if (!estrutura_) {
    estrutura_ = std::make_unique<BaixaEstruturaModule>();
    estrutura_->netLocalCache = serverTried(kRdmAtualizaEstrutura);
  }
  return *estrutura_;
}

BaixaTabelasModule& Connections::dtmBaixaTabelas() {
  if (!tabelas_) {
    tabelas_ = std::make_unique<BaixaTabelasModule>();
    tabelas_->netProcedimentos = serverTried(kRdmExpDados);
  }
  return *tabelas_;
}

FuncoesServidorModule& Connections::dtmFuncoesServidor() {
  if (!funcoes_) {
    funcoes_ = std::make_unique<FuncoesServidorModule>();
    funcoes_->netConnexString = factories_.server(kRdmExpDados);
  }
  return *funcoes_;
}

std::string Connections::estruturaConnectionString() const {
  const std::string stored = package_.GetStringConexKiv();
  if (package_.UsedDatabase() != kOracle || db::trim(stored).empty()) return stored;
  return db::withProvider(stored, kOracleProvider);
}

bool Connections::OpenADOEstrutura() {
  return openOrReport(log_, "1", &flag_, [&] {
    BaixaEstruturaModule& m = dtmBaixaEstrutura();
    if (!isOpen(m.adcGeral)) m.adcGeral = openLocal(estruturaConnectionString());
    connectServer(*m.netLocalCache);
  });
}

bool Connections::ReopenADOEstrutura() {
  return openOrReport(log_, "1", &flag_, [&] {
    BaixaEstruturaModule& m = dtmBaixaEstrutura();
    std::unique_ptr<db::Connection> fresh = openLocal(estruturaConnectionString());
    m.netLocalCache->disconnect();
    m.netLocalCache->connect();
    disconnect(m.adcGeral);
    m.adcGeral = std::move(fresh);
  });
}

void Connections::CloseADOEstrutura() {
  if (!estrutura_) return;
  disconnect(estrutura_->adcGeral);
  disconnect(estrutura_->adcDebConsCentral);
  estrutura_->netLocalCache->disconnect();
  estrutura_.reset();
}

bool Connections::OpenADOBaixa() {
  return openOrReport(log_, "2", nullptr, [&] {
    BaixaTabelasModule& m = dtmBaixaTabelas();
    if (!isOpen(m.adcCliExp)) m.adcCliExp = openLocal(package_.GetStringConexKiv());
    connectServer(*m.netProcedimentos);
  });
}

void Connections::CloseADOBaixa() {
  try {
    log_.GravaLog("Inicio CloseADOBaixa", "3");
    if (tabelas_) {
      disconnect(tabelas_->adcCliExp);
      disconnect(tabelas_->adcBancoCentral);
      tabelas_->netProcedimentos->disconnect();
      tabelas_.reset();
    }
    log_.GravaLog("Final CloseADOBaixa", "3");
  } catch (const std::exception&) {
    // Closing must not stop the run.
  }
}

bool Connections::OpenADOFuncoes() {
  return openOrReport(log_, "1", &flag_, [&] {
    FuncoesServidorModule& m = dtmFuncoesServidor();
    if (!isOpen(m.adcFuncoes)) m.adcFuncoes = openLocal(package_.GetStringConexKiv());
    connectServer(*m.netConnexString);
  });
}

void Connections::CloseADOFuncoes() {
  if (!funcoes_) return;
  disconnect(funcoes_->adcFuncoes);
  funcoes_->netConnexString->disconnect();
  funcoes_.reset();
}

bool Connections::getVersaoBanco() {
  try {
    BaixaEstruturaModule& m = dtmBaixaEstrutura();
    if (!isOpen(m.adcGeral)) m.adcGeral = openLocal(estruturaConnectionString());
    auto rows = m.adcGeral->query(kVersaoBanco);
    if (!rows->next()) return false;
    return isOldServerVersion((*rows)["VERSAO"].asText());
  } catch (const std::exception& e) {
    log_.GravaLog(std::string("ERRO Except getVersaoBanco: ") + e.what(), "1");
    return false;
  }
}

void Connections::beginBancoCentral() {
  if (!tabelas_ || tabelas_->idSenConsCentral != "S" || tabelas_->mirrorSkipped) return;
  try {
    if (!isOpen(tabelas_->adcBancoCentral)) {
      const std::string local = package_.GetStringConexKiv();
      const std::string mirror = db::siblingConnectionString(local, tabelas_->nmSqlNameDb);
      if (db::sameEmbeddedDatabase(local, mirror)) {
        tabelas_->mirrorSkipped = true;
        log_.GravaLog(
            std::string(kMirrorSkipped) + tabelas_->nmSqlNameDb + std::string(kMirrorIsLocal), "3");
        return;
      }
      tabelas_->adcBancoCentral = openLocal(mirror);
    }
    if (!tabelas_->adcBancoCentral->inTransaction()) tabelas_->adcBancoCentral->begin();
  } catch (const std::exception&) {
    // The mirror is best effort: the local load goes on without it.
  }
}

void Connections::commitBancoCentral() { endBancoCentral(true); }

void Connections::rollbackBancoCentral() { endBancoCentral(false); }

void Connections::endBancoCentral(bool commit) {
  if (!tabelas_ || tabelas_->idSenConsCentral != "S") return;
  try {
    std::unique_ptr<db::Connection>& mirror = tabelas_->adcBancoCentral;
    if (!isOpen(mirror) || !mirror->inTransaction()) return;
    if (commit)
      mirror->commit();
    else
      mirror->rollback();
  } catch (const std::exception&) {
    // Best effort, as above.
  }
}

}  // namespace app
