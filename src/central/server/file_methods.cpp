// The statement files a register fetches over HTTP: built on request, named by URL path,
// deleted when the register has them.
#include "central/server/method_table.h"
#include "central/server/service.h"
#include "central/server/statement_files.h"

namespace central::server {
namespace {

namespace fs = std::filesystem;

constexpr const char* kZipSuffix = ".zip";

void checkAccess(const Call& call, std::string_view urlPath) {
  if (call.caller) call.service.checkFileAccess(urlPath, *call.caller);
}

// A file name from the register becomes a file of ours only when it names nothing but a file.
void requirePlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of("/\\:") != std::string::npos || name.find('\0') != std::string::npos)
    throw BadRequest("\"" + name + "\" is not a plain file name");
}

MethodResult setGeraArquivo(Call& call) {
  StatementFileRequest request;
  request.fileName = call.args[0].getText();
  request.kind = call.args[1].getText();
  request.branch = call.args[3].getText();
  if (call.args[5].kind() == db::Value::Kind::Array)
    request.values = call.args[5].getArray();
  else if (!call.args[5].isNull())
    throw BadRequest("setGeraArquivo: argument 6 must be an array");
  request.firstLine = call.args[6].getInt();
  request.lastLine = call.args[7].getInt();
  requirePlainFileName(request.fileName);
  if (request.firstLine < 0 || request.lastLine < 0 ||
      (request.lastLine != 0 && request.lastLine < request.firstLine))
    throw BadRequest("setGeraArquivo: invalid line range " + std::to_string(request.firstLine) +
                     " to " + std::to_string(request.lastLine));
  statementSource(request.kind, request.branch, request.values);  // refuses unknown kinds first

  call.service.removeExpiredFiles();
  fs::path directory = call.service.filesRoot() / kGeneratedDir / call.service.uniqueName("arq");
  fs::create_directories(directory);
  call.service.recordOwner(directory, request.branch);
  try {
    buildStatementZip(call.db, request, directory);
  } catch (...) {
    std::error_code ignored;
    fs::remove_all(directory, ignored);
    throw;
  }
  return db::Value(call.service.urlForFile(directory) + "/");
}

// "<access line>\r\n<server path of the zip>": the access line is the base URL the register
// reached us at, so that base + path fetches the zip.
MethodResult getAcessoArquivo(Call& call) {
  const std::string statementPath = call.args[0].getText();
  const std::string zipPath = statementPath + kZipSuffix;
  fs::path file = call.service.fileForUrl(zipPath);
  checkAccess(call, zipPath);
  if (!fs::is_regular_file(file))
    throw BadRequest("getAcessoArquivo: no file " + zipPath + " on the server");
  const char* scheme = call.service.options().tls() ? "https://" : "http://";
  return db::Value(scheme + call.requestHost + "\r\n" + zipPath);
}

MethodResult setApagaArquivo(Call& call) {
  const std::string zipPath = call.args[0].getText();
  fs::path file = call.service.fileForUrl(zipPath);
  checkAccess(call, zipPath);
  std::error_code error;
  if (!fs::is_regular_file(file))
    return db::Value("Arquivo " + zipPath + " não encontrado no servidor.");
  fs::remove(file, error);
  if (error) throw std::runtime_error("cannot delete " + zipPath);
  fs::path directory = file.parent_path();
  if (directory != call.service.filesRoot() && fs::is_empty(directory, error))
    fs::remove(directory, error);
  return db::Value("Arquivo " + zipPath + " apagado do servidor.");
}

}  // namespace

void registerFileMethods(MethodTable& table) {
  using A = ArgKind;
  table.add(kExportObject, {"setGeraArquivo",
                            {A::Text, A::Text, A::Text, A::Text, A::Text, A::Any, A::Int, A::Int},
                            setGeraArquivo});
  table.add(kExportObject, {"getAcessoArquivo", {A::Text}, getAcessoArquivo});
  table.add(kExportObject, {"setApagaArquivo", {A::Text, A::Text}, setApagaArquivo});
}

}  // namespace central::server
