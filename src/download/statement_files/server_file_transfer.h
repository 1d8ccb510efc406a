#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "db/core/connection.h"
#include "db/core/value.h"
#include "download/keep_alive.h"
#include "download/services.h"
#include "download/statement_files/file_fetcher.h"
#include "download/statement_files/file_kinds.h"
#include "outside/app_server.h"

namespace download {

// One request for a server-built statement file.
struct ServerFileRequest {
  std::string nmArquivo;                 // P_NMARQUIVO, e.g. "insertConsumidor.sql"
  std::string tipoArquivo;               // P_TIPOARQUIVO, e.g. "CONS"
  int64_t linhaFin = 0;                  // P_LINHAFIN; 0 for the whole file
  int64_t linhaIni = 0;                  // P_LINHAINI; 0 for the whole file
  db::Value valores = db::ValueArray{};  // P_VALORES
  std::string cdCaixa;
  std::string cdFilial;
};

// The password of the server-built zips.
inline constexpr std::string_view kZipPassword = "vostrel@vostrel";

// Has the central server write a table as SQL statements into a zip, fetches it, keeps a
// time-stamped copy, unzips it and runs every statement file of the directory.
class ServerFileTransfer {
 public:
  // kivTabDirectory: <program directory>/Dados/Kiv_Tab. hooks may be null.
  ServerFileTransfer(db::Connection& local, outside::AppServer& netProcedimentos,
                     FileFetcher& fetcher, std::filesystem::path kivTabDirectory,
                     const Services& services, FileKindHooks* hooks = nullptr);

  // Failures of the server steps before the fetch are logged and the procedure goes on; failures
  // of the fetch, of the reconnect after it and of the server-side delete raise.
  void baixaArquivoServidor(const ServerFileRequest& request);

  // Plugs in the steps that follow each statement file of the consumer catch-up kinds.
  void setHooks(FileKindHooks* hooks) { hooks_ = hooks; }

  void mantemConexao(bool now) { keepAlive_.mantemConexao(now); }
  KeepAlive& keepAlive() { return keepAlive_; }

  // Statements run by the last call.
  int64_t totalStatements() const { return total_; }
  // Set by the load before its file loads; a failed statement file clears both.
  bool consumerLoadOk = true;
  bool extractLoadOk = true;

  // <name minus its last eight characters>_BKPdd.mm.yyyy.hhnnss<last eight characters>
  static std::string backupName(std::string_view zipFileName, db::DateTime when);

  // How many time-stamped copies of each zip stay (the newest); the registry may change it.
  static constexpr int kDefaultBackupsKept = 7;
  void setBackupsKept(int count) { backupsKept_ = count; }
  // The folder of its own the zips are extracted into, below the run-log folder.
  std::filesystem::path extractionDirectory() const;

 private:
  struct ServerReply {
    std::string directory;   // where the server wrote the file
    std::string accessLine;  // for the fetch
    std::string zipPath;     // server path of the zip
    std::string zipName;
  };

  ServerReply askServer(const ServerFileRequest& request, const std::filesystem::path& localZip);
  std::string accessWithRetry(const std::string& serverFile);
  void loadZip(const ServerFileRequest& request, const FileKind& kind,
               const std::filesystem::path& localZip);
  void runStatementFiles(const FileKind& kind, bool logBatches);
  void keepBackup(const std::filesystem::path& localZip);
  void reconnect();

  db::Connection& local_;
  outside::AppServer& net_;
  FileFetcher& fetcher_;
  std::filesystem::path dir_;
  const Services& s_;
  FileKindHooks* hooks_;
  KeepAlive keepAlive_;
  int64_t total_ = 0;
  int backupsKept_ = kDefaultBackupsKept;
};

}  // namespace download
