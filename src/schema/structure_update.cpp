#include "schema/structure_update.h"

#include "db/core/connection_string.h"
#include "schema/messages.h"
#include "schema/oracle_reconciler.h"
#include "schema/package_check.h"
#include "schema/package_reply.h"
#include "schema/package_retrieval.h"
#include "schema/preparations.h"
#include "schema/reconciler.h"
#include "schema/statements.h"
#include "schema/table_lists.h"

namespace schema {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSqlServer = "MSSQL";
constexpr std::string_view kError = "ERRO";
constexpr std::string_view kServerException = "EXCEPT";
// The server's exception text starts after "EXCEPT" and one more character.
constexpr size_t kServerExceptionTextStart = 7;
constexpr std::string_view kDefaultNrorg = "1";
constexpr std::string_view kBanner =
    "*************** INÍCIO DA CRIAÇÃO DE ESTRUTURA DAS TABELAS do SQL-SERVER 2008 "
    "***************";

constexpr std::string_view kUnlistedTable = "Tabela fora das listas do caixa deixada de fora: ";

// A package may only touch the tables the register asked for; anything else is left out, logged,
// so a wrong or hostile package cannot create or alter the register's other tables.
void keepListedTables(StructurePackage& package,
                      const std::optional<std::vector<std::string>>& only, const LogLine& log) {
  std::erase_if(package.tables, [&](const PackageTable& table) {
    if (isListedTable(table.tableName, only)) return false;
    log(std::string(kUnlistedTable) + table.tableName, "1");
    return true;
  });
  if (package.constraints)
    std::erase_if(*package.constraints,
                  [&](const ForeignKeyRow& row) { return !isListedTable(row.tableName, only); });
}

}  // namespace

StructureUpdate::StructureUpdate(db::Connection& adcGeral, outside::AppServer& netLocalCache,
                                 StructureUpdateServices services)
    : adcGeral_(&adcGeral), netLocalCache_(netLocalCache), services_(std::move(services)) {}

bool StructureUpdate::structureExists(const std::string& databaseType, const std::string& owner) {
  const std::string_view query =
      databaseType == kSqlServer ? sql::kLocalStructMSDE : sql::kLocalStructOracle;
  auto rows = adcGeral_->query(query, {{"P_OWNER", owner}, {"P_TABLE", std::string("CAIXA")}});
  return rows->next();
}

void StructureUpdate::requestPackage(const std::optional<std::vector<std::string>>& only,
                                     const std::string& databaseType, const std::string& owner) {
  const TableListTexts lists = buildTableListTexts(structureExists(databaseType, owner), only);

  token_ = netLocalCache_.call("StartTableData").asText();
  if (startsWith(token_, kError)) {
    const size_t eq = token_.find('=');
    const std::string key = eq == std::string::npos ? std::string() : token_.substr(0, eq);
    if (eq != std::string::npos) token_ = token_.substr(eq + 1);
    services_.log("ERRO: " + token_ + " - " + msgText(key), "1");
  }

  const bool oldServer = services_.getVersaoBanco();
  std::vector<db::Value> args{lists.cache, token_, databaseType, lists.workTables, oldServer};
  reply_ = netLocalCache_.call("GetTableStructMSDE", args).asText();
  token_ = args[1].asText();
  nrorg_ = netLocalCache_.call("GetNRORG").asText();
  if (nrorg_.empty()) nrorg_ = kDefaultNrorg;

  if (startsWith(reply_, kError)) services_.log("ERRO: " + msgText(reply_), "1");
  if (startsWith(reply_, kServerException))
    throw std::runtime_error(reply_.size() > kServerExceptionTextStart
                                 ? reply_.substr(kServerExceptionTextStart)
                                 : std::string());
}

void StructureUpdate::reconcile(const StructurePackage& package, const std::string& databaseType,
                                const std::string& owner) {
  if (databaseType != kSqlServer) {
    OracleReconciler(*adcGeral_, owner).reconcile(package);
    return;
  }
  ReconcileServices services{services_.log, [this]() -> db::Connection& {
                               adcGeral_ = &services_.reconnect();
                               return *adcGeral_;
                             }};
  SqlServerReconciler(*adcGeral_, owner, nrorg_, std::move(services)).reconcile(package);
}

bool StructureUpdate::UpdateMSDECache(const std::optional<std::vector<std::string>>& only) {
  services_.log("", "3");
  services_.log(kBanner, "3");
  services_.log(std::string(126, '*'), "3");

  fs::path directory;
  try {
    const std::string databaseType = services_.package.UsedDatabase();
    const std::string owner = db::loginName(services_.package._GetStringConexKiv());
    requestPackage(only, databaseType, owner);
    directory = retrievePackage(
        reply_, token_, {services_.package, services_.log, services_.progress, services_.limits});
    StructurePackage package = loadStructurePackage(directory);
    checkPackage(package);
    keepListedTables(package, only, services_.log);
    checkRemoteExecutionTable(*adcGeral_, databaseType != kSqlServer);
    prepareValidityModels(*adcGeral_, services_.log);
    reconcile(package, databaseType, owner);
  } catch (const std::exception& e) {
    services_.log(std::string("Exception UpdateMSDECache: ") + e.what(), "1");
    return false;
  }
  finish(directory);
  return true;
}

void StructureUpdate::finish(const fs::path& directory) {
  if (startsWith(token_, kError)) return;
  // The server and the disk are only tidied here; a failure leaves leftovers, nothing worse.
  try {
    if (!netLocalCache_.connected()) netLocalCache_.connect();
    std::vector<db::Value> args{token_};
    netLocalCache_.call("FinishTableData", args);
  } catch (const std::exception&) {
  }
  // The directory is the run's own, one plain name below the working directory: all of it
  // goes, constraints.cds included, so that runs leave no folders behind.
  std::error_code ignored;
  fs::remove_all(directory, ignored);
}

}  // namespace schema
