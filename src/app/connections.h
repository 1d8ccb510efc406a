#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/run_flag.h"
#include "app/run_log.h"
#include "db/core/connection.h"
#include "outside/app_server.h"
#include "outside/package/package.h"

namespace app {

// How connections come to be; tests replace them.
struct ConnectionFactories {
  std::function<std::unique_ptr<db::Connection>(std::string_view connectionString)> database;
  std::function<std::unique_ptr<outside::AppServer>(std::string objectName)> server;

  // db::connect, and the HTTP client at the package's endpoint read at each connect.
  static ConnectionFactories standard(const outside::Package& package);
};

inline constexpr const char* kRdmExpDados = "rdmExpDados";
inline constexpr const char* kRdmAtualizaEstrutura = "rdmAtualizaEstrutura";

// The schema data module's connections: the local database (from the stored connection
// string), the structure server and the central consumer database the consumer setups connect.
struct BaixaEstruturaModule {
  std::unique_ptr<db::Connection> adcGeral;
  std::unique_ptr<outside::AppServer> netLocalCache;
  std::unique_ptr<db::Connection> adcDebConsCentral;
};

// The download data module's connections: the local database, the data server and, on first
// use, the central mirror database named by the run.
struct BaixaTabelasModule {
  std::unique_ptr<db::Connection> adcCliExp;
  std::unique_ptr<outside::AppServer> netProcedimentos;
  std::unique_ptr<db::Connection> adcBancoCentral;
  // Run values of the download that the central-mirror helpers read.
  std::string idSenConsCentral;
  std::string nmSqlNameDb;
  // Set once the mirror is found to be the local database itself; it is then left alone.
  bool mirrorSkipped = false;
};

// The fiscal data module's connections.
struct FuncoesServidorModule {
  std::unique_ptr<db::Connection> adcFuncoes;
  std::unique_ptr<outside::AppServer> netConnexString;
};

// True when a SERVERPROPERTY('productversion') text names a server older than version 9 (SQL
// Server 2005); false for an empty text. Raises std::invalid_argument when the major version is
// not a number.
bool isOldServerVersion(std::string_view version);

// The data modules of a run, created on demand, with the steps that open and close their
// connections. The Open steps never raise: they log and answer false.
class Connections {
 public:
  Connections(const outside::Package& package, RunLog& log, RunFlag& flag,
              ConnectionFactories factories);
  ~Connections();

  const outside::Package& package() const { return package_; }

  // Creating a module also tries its server connection, ignoring failure.
  BaixaEstruturaModule& dtmBaixaEstrutura();
  BaixaTabelasModule& dtmBaixaTabelas();
  FuncoesServidorModule& dtmFuncoesServidor();
  bool hasBaixaEstrutura() const { return estrutura_ != nullptr; }
  bool hasBaixaTabelas() const { return tabelas_ != nullptr; }
  bool hasFuncoesServidor() const { return funcoes_ != nullptr; }

  bool OpenADOEstrutura();
  // Disconnects and reconnects the structure module's connections. The new local connection
  // replaces the old one only once it is open, so a failure leaves the old one in use; it is
  // reported as OpenADOEstrutura reports it.
  bool ReopenADOEstrutura();
  void CloseADOEstrutura();
  bool OpenADOBaixa();
  void CloseADOBaixa();
  bool OpenADOFuncoes();
  void CloseADOFuncoes();

  // True for a server older than version 9, read on adcGeral; false when unknown.
  bool getVersaoBanco();

  // Transaction helpers on the central mirror: act only when IDSENCONSCENTRAL of the run is
  // "S"; every error is swallowed. The mirror is the database of that name on the local
  // database's server (on the embedded engine, in its folder); one that would be the local
  // database itself is skipped for the run, with one log line.
  void beginBancoCentral();
  void commitBancoCentral();
  void rollbackBancoCentral();

  // A server connection of the window's own (the register check), not yet connected.
  std::unique_ptr<outside::AppServer> newServer(std::string objectName) const {
    return factories_.server(std::move(objectName));
  }

  // Opens a local connection with the string the package names, or raises with a clear text
  // when none is configured.
  std::unique_ptr<db::Connection> openLocal(const std::string& connectionString) const;

 private:
  void connectServer(outside::AppServer& server);
  void endBancoCentral(bool commit);
  // A data module's server, connected when it answers at creation.
  std::unique_ptr<outside::AppServer> serverTried(std::string objectName);
  // adcGeral's string: the stored one, naming the Oracle provider when the package says ORACLE.
  std::string estruturaConnectionString() const;

  const outside::Package& package_;
  RunLog& log_;
  RunFlag& flag_;
  ConnectionFactories factories_;
  std::unique_ptr<BaixaEstruturaModule> estrutura_;
  std::unique_ptr<BaixaTabelasModule> tabelas_;
  std::unique_ptr<FuncoesServidorModule> funcoes_;
};

}  // namespace app
