#include "download/statement_files/server_file_transfer.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "db/core/text.h"
#include "download/statement_files/statement_file_runner.h"
#include "download/statement_files/zip_extractor.h"

namespace download {
namespace fs = std::filesystem;
namespace {

// The texts naming each server step in the error line.
constexpr std::string_view kStepNrOrg = "IntToStr(netProcedimentos.AppServer.getNRORG);";
constexpr std::string_view kStepGera =
    "netProcedimentos.AppServer.setGeraArquivo(P_NMARQUIVO, P_TIPOARQUIVO, P_CDFILIAL, "
    "P_CDCAIXA, P_VALORES, P_LINHAINI, P_LINHAFIN);";
constexpr std::string_view kStepAcesso =
    "netProcedimentos.AppServer.getAcessoArquivo(stDiretorio+P_NMARQUIVO);";
constexpr std::string_view kStepAccessLine = "Copy(stAcesso, 1, Pos(#13#10, stAcesso) -1);";
constexpr std::string_view kStepZipPath = "System.Delete(stAcesso, 1, Pos(#13#10, stAcesso)+1);";
constexpr std::string_view kStepZipName = "ExtractFileName(stAcesso);";
constexpr std::string_view kStepLocalZip =
    "stNmArquivo := ExtractFileDir(ParamStr(0))+\\Dados\\Kiv_Tab\\+P_NMARQUIVO+.zip;";

constexpr std::string_view kExtractionFolder = "Extracao";
constexpr std::string_view kBackupMark = "_BKP";
constexpr size_t kBackupStampLength = 17;  // dd.mm.yyyy.hhnnss

// "dd.mm.yyyy.hhnnss" as "yyyymmddhhnnss", so that copies sort by their time.
std::string sortableStamp(std::string_view stamp) {
  return std::string(stamp.substr(6, 4)) + std::string(stamp.substr(3, 2)) +
         std::string(stamp.substr(0, 2)) + std::string(stamp.substr(11, 6));
}

std::string fileNamePart(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool isStatementFile(const fs::directory_entry& entry) {
  return entry.is_regular_file() && db::iequals(entry.path().extension().string(), ".sql");
}

// Removes a file when it exists, whatever else happened; never raises.
class RemoveOnExit {
 public:
  explicit RemoveOnExit(fs::path file) : file_(std::move(file)) {}
  ~RemoveOnExit() {
    std::error_code ignored;
    fs::remove(file_, ignored);
  }
  RemoveOnExit(const RemoveOnExit&) = delete;
  RemoveOnExit& operator=(const RemoveOnExit&) = delete;

 private:
  fs::path file_;
};

}  // namespace

ServerFileTransfer::ServerFileTransfer(db::Connection& local, outside::AppServer& netProcedimentos,
                                       FileFetcher& fetcher, fs::path kivTabDirectory,
                                       const Services& services, FileKindHooks* hooks)
    : local_(local),
      net_(netProcedimentos),
      fetcher_(fetcher),
      dir_(std::move(kivTabDirectory)),
      s_(services),
      hooks_(hooks),
      keepAlive_(netProcedimentos) {}

std::string ServerFileTransfer::backupName(std::string_view zipFileName, db::DateTime when) {
  const size_t at = zipFileName.size() >= 8 ? zipFileName.size() - 8 : 0;
  return std::string(zipFileName.substr(0, at)) + "_BKP" + when.format("dd.mm.yyyy.hhnnss") +
         std::string(zipFileName.substr(at));
}

fs::path ServerFileTransfer::extractionDirectory() const { return dir_ / kExtractionFolder; }

// The copy is readable by the owner only (statement files hold consumer passwords), and only the
// newest copies of each file stay.
void ServerFileTransfer::keepBackup(const fs::path& localZip) {
  const std::string zipName = localZip.filename().string();
  const fs::path copy = dir_ / backupName(zipName, s_.now());
  fs::copy_file(localZip, copy, fs::copy_options::overwrite_existing);
  fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);

  const size_t at = zipName.size() >= 8 ? zipName.size() - 8 : 0;
  const std::string prefix = zipName.substr(0, at) + std::string(kBackupMark);
  const std::string suffix = zipName.substr(at);
  std::vector<std::pair<std::string, fs::path>> copies;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    const std::string name = entry.path().filename().string();
    if (name.size() != prefix.size() + kBackupStampLength + suffix.size() ||
        !name.starts_with(prefix) || !name.ends_with(suffix))
      continue;
    copies.emplace_back(sortableStamp(name.substr(prefix.size(), kBackupStampLength)),
                        entry.path());
  }
  std::sort(copies.begin(), copies.end(), std::greater<>());
  for (size_t i = static_cast<size_t>(std::max(backupsKept_, 1)); i < copies.size(); ++i) {
    std::error_code error;
    fs::remove(copies[i].second, error);
    if (error) s_.info("Cópia antiga não apagada: " + copies[i].second.filename().string());
  }
}

void ServerFileTransfer::baixaArquivoServidor(const ServerFileRequest& request) {
  total_ = 0;
  fs::create_directories(dir_);
  s_.info("Gerando o arquivo .zip no servidor...");
  const fs::path localZip = dir_ / (request.nmArquivo + ".zip");
  const ServerReply reply = askServer(request, localZip);

  s_.info("Recebendo o arquivo .zip do servidor...");
  const FileKind& kind = fileKindOf(request.tipoArquivo);
  if (const auto before = beforeStatement(kind, request.linhaIni)) local_.execute(*before);

  fetcher_.getInsertFile(localZip, reply.directory + reply.zipName, reply.accessLine);
  reconnect();
  s_.info("Reconecta 2 com a Qir.dll");

  s_.info("Apagando o arquivo .zip do servidor...");
  std::vector<db::Value> args{reply.zipPath, request.cdFilial};
  s_.info(net_.call("setApagaArquivo", args).asText());

  if (fs::exists(localZip)) {
    loadZip(request, kind, localZip);
  } else {
    // No rows came: the table's date must not be recorded as if they had.
    consumerLoadOk = extractLoadOk = false;
  }
}

// Steps whose failure is only logged: the fetch is attempted whatever the server answered.
ServerFileTransfer::ServerReply ServerFileTransfer::askServer(const ServerFileRequest& request,
                                                              const fs::path& localZip) {
  ServerReply reply;
  std::string_view step;
  try {
    step = kStepNrOrg;
    std::vector<db::Value> nrOrgArgs{request.cdFilial};
    const std::string nrOrg = net_.call("getNRORG", nrOrgArgs).asText();
    s_.info("getNRORG");

    step = kStepGera;
    std::vector<db::Value> geraArgs{request.nmArquivo, request.tipoArquivo, nrOrg,
                                    request.cdFilial,  request.cdCaixa,     request.valores,
                                    request.linhaIni,  request.linhaFin};
    reply.directory = net_.call("setGeraArquivo", geraArgs).asText();
    if (request.linhaIni < 1)
      s_.info("setGeraArquivo");
    else
      s_.info("setGeraArquivo de " + std::to_string(request.linhaIni) + " a " +
              std::to_string(request.linhaFin));

    step = kStepAcesso;
    const std::string access = accessWithRetry(reply.directory + request.nmArquivo);

    step = kStepAccessLine;
    const size_t pair = access.find("\r\n");
    if (pair == std::string::npos)
      throw std::runtime_error("a resposta de getAcessoArquivo não traz CR LF: \"" + access + "\"");
    reply.accessLine = access.substr(0, pair);
    step = kStepZipPath;
    reply.zipPath = access.substr(pair + 2);
    step = kStepZipName;
    reply.zipName = fileNamePart(reply.zipPath);

    step = kStepLocalZip;
    fs::remove(localZip);
  } catch (const std::exception& e) {
    s_.info("Exceção -> " + std::string(e.what()) + " Comando: " + std::string(step));
  }
  return reply;
}

std::string ServerFileTransfer::accessWithRetry(const std::string& serverFile) {
  std::string access;
  try {
    std::vector<db::Value> args{serverFile};
    access = net_.call("getAcessoArquivo", args).asText();
  } catch (const std::exception&) {
    reconnect();
    s_.info("Reconecta com a Qir.dll");
    std::vector<db::Value> args{serverFile};
    access = net_.call("getAcessoArquivo", args).asText();
  }
  s_.info("getAcessoArquivo");
  return access;
}

void ServerFileTransfer::reconnect() {
  net_.disconnect();
  net_.connect();
}

void ServerFileTransfer::loadZip(const ServerFileRequest& request, const FileKind& kind,
                                 const fs::path& localZip) {
  const fs::path extraction = extractionDirectory();
  RemoveOnExit leftover(extraction / request.nmArquivo);
  const bool delCache = isDelCacheKind(request.tipoArquivo);
  if (!delCache) keepBackup(localZip);

  s_.info("Descompactando o arquivo para inserção...");
  try {
    fs::create_directories(extraction);
    removeExtractionLeftovers(extraction);
    extractAll(localZip, extraction, kZipPassword, [&](const std::string& member) {
      s_.info("Arquivo recusado no .zip (caminho fora da pasta de destino): " + member);
      consumerLoadOk = extractLoadOk = false;
    });
  } catch (const std::exception& e) {
    s_.info("Exception componente TAbUnZipper: " + std::string(e.what()));
    // A cut or unreadable archive brings fewer rows than the table's date would claim.
    consumerLoadOk = extractLoadOk = false;
  }
  fs::remove(localZip);
  runStatementFiles(kind, !delCache);
}

void ServerFileTransfer::runStatementFiles(const FileKind& kind, bool logBatches) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(extractionDirectory(), error))
    if (isStatementFile(entry)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());

  StatementFileRunner runner(local_, s_, [this] { mantemConexao(false); });
  for (const auto& file : files) {
    const FileRunResult result = runner.run(file, kind.label, kind.table, logBatches);
    total_ += result.statements;
    if (result.failed) consumerLoadOk = extractLoadOk = false;
    fs::remove(file);
    if (!hooks_) continue;
    if (kind.after == AfterStep::ConsClienFil) hooks_->afterConsClienFil(result.statements);
    if (kind.after == AfterStep::ConsDt) hooks_->afterConsDt(result.statements);
  }
}

}  // namespace download
