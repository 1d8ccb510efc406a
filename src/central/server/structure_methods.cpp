// rdmAtualizaEstrutura: a structure package run, from its token to the zip the register fetches.
#include "central/model/model.h"
#include "central/server/method_table.h"
#include "central/server/service.h"
#include "central/server/structure_package.h"

namespace central::server {
namespace {

namespace fs = std::filesystem;

constexpr size_t kTokenDirLength = 22;
// Error keys the register translates through its own message table.
constexpr const char* kCreateDirError = "ERRO_CREATEDIR";
constexpr const char* kZipError = "ERRO_ZIP";
constexpr const char* kExceptionPrefix = "EXCEPT ";

std::string tokenDirectory(const std::string& token) {
  return token.size() <= kTokenDirLength ? token : token.substr(token.size() - kTokenDirLength);
}

fs::path packageDirectory(const Service& service, const std::string& token) {
  const std::string name = tokenDirectory(token);
  if (name.empty() || name.find_first_of("/\\:.") != std::string::npos)
    throw BadRequest("\"" + token + "\" is not a package token");
  return service.filesRoot() / std::string(kStructureDir) / name;
}

MethodResult startTableData(Call& call) {
  call.service.removeExpiredFiles();
  std::string token = call.service.uniqueName("PKG_");
  std::error_code error;
  fs::create_directories(packageDirectory(call.service, token), error);
  if (error) return db::Value(std::string(kCreateDirError) + "=" + token);
  return db::Value(token);
}

// The reply names where the package lies: Address is the host and port the register reached
// us at, Path the URL prefix before the token's directory.
MethodResult getTableStructMSDE(Call& call) {
  try {
    const central::Model& model = central::centralModel();
    fs::path directory = packageDirectory(call.service, call.args[1].getText());
    std::error_code error;
    fs::create_directories(directory, error);
    if (error) return db::Value(kCreateDirError);
    auto rows = structureRows(model, parseTableList(call.args[0].getText()),
                              parseTableList(call.args[3].getText()));
    try {
      buildStructurePackage(model, rows, directory);
    } catch (const std::runtime_error&) {
      return db::Value(kZipError);
    }
    return db::Value("Address=" + call.requestHost + "&Login=kivtab&Password=kivtab&Path=" +
                     std::string(kFilesUrl) + std::string(kStructureDir) +
                     "/&FileDir=" + call.service.relativeName(directory));
  } catch (const BadRequest&) {
    throw;
  } catch (const std::exception& e) {
    return db::Value(std::string(kExceptionPrefix) + e.what());
  }
}

MethodResult finishTableData(Call& call) {
  std::error_code ignored;
  fs::remove_all(packageDirectory(call.service, call.args[0].getText()), ignored);
  return db::Value();
}

}  // namespace

void registerStructureMethods(MethodTable& table) {
  using A = ArgKind;
  table.add(kStructureObject, {"StartTableData", {}, startTableData});
  table.add(
      kStructureObject,
      {"GetTableStructMSDE", {A::Text, A::Text, A::Text, A::Text, A::Bool}, getTableStructMSDE});
  table.add(kStructureObject, {"FinishTableData", {A::Text}, finishTableData});
}

}  // namespace central::server
