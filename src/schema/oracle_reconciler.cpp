#include "schema/oracle_reconciler.h"

#include <algorithm>
#include <stdexcept>

#include "db/core/text.h"
#include "schema/ddl_text.h"
#include "schema/oracle_ddl.h"
#include "schema/package_check.h"
#include "schema/statements.h"

namespace schema {

OracleReconciler::OracleReconciler(db::Connection& local, std::string owner)
    : local_(local), owner_(std::move(owner)) {}

void OracleReconciler::runIgnoringErrors(const std::string& statement) {
  try {
    local_.execute(statement);
  } catch (const std::exception&) {
  }
}

void OracleReconciler::reconcile(const StructurePackage& package) {
  if (!package.hasOracleColumns)
    throw std::runtime_error("struct.cds has no nested dataset adqColunasOracle");
  checkPackage(package);
  for (const auto& table : package.tables) tableStep(table);
  if (!package.constraints) return;
  for (const auto& table : package.tables)
    for (const auto& key : ddl::foreignKeys(*package.constraints, table.tableName))
      runIgnoringErrors(oracle_ddl::addForeignKey(key, table.tableName));
}

bool OracleReconciler::tableExists(const std::string& table) {
  auto rows = local_.query(sql::kExisteTabelaOracle, {{"P_OWNER", owner_}, {"P_TABLE", table}});
  return rows->next() && (*rows)["NRTABELAS"].asInt() > 0;
}

std::vector<LocalColumn> OracleReconciler::localColumns(const std::string& table) {
  std::vector<LocalColumn> columns;
  auto rows = local_.query(sql::kLocalStructOracle, {{"P_OWNER", owner_}, {"P_TABLE", table}});
  while (rows->next())
    columns.push_back({(*rows)["COL_NAME"].asText(), (*rows)["FIELD_TYPE"].asText(),
                       (*rows)["NULLABLE"].asText(), (*rows)["COL_DEFAULT"].asText()});
  return columns;
}

void OracleReconciler::tableStep(const PackageTable& table) {
  const std::string& name = table.tableName;
  if (!tableExists(name)) {
    // Not guarded: a table that cannot be created ends the reconciliation.
    local_.execute(oracle_ddl::createTable(table));
    runIgnoringErrors(ddl::addPrimaryKey(name, oracle_ddl::primaryKeyColumns(table)));
  } else {
    const std::vector<LocalColumn> local = localColumns(name);
    for (const auto& column : table.oracleColumns) updateColumn(name, local, column);
  }
  indexStep(table);
}

void OracleReconciler::updateColumn(const std::string& table, const std::vector<LocalColumn>& local,
                                    const PackageColumn& column) {
  const auto found = std::find_if(local.begin(), local.end(), [&](const LocalColumn& c) {
    return db::iequals(c.name, column.name);
  });
  if (found == local.end()) {
    runIgnoringErrors(oracle_ddl::addColumn(table, column));
    return;
  }
  const bool targetNotNull = column.nullable == "NOT NULL";
  const bool hasDefault = !oracle_ddl::trimmedDefault(column).empty();
  if (column.fieldType != found->fieldType) {
    if (!targetNotNull) {
      runIgnoringErrors(oracle_ddl::modifyColumn(table, column, "NULL"));
      return;
    }
    if (hasDefault) {
      runIgnoringErrors(oracle_ddl::modifyType(table, column));
      runIgnoringErrors(oracle_ddl::fillNulls(table, column));
    }
    runIgnoringErrors(oracle_ddl::modifyColumn(table, column, "NOT NULL"));
  } else if (column.nullable && !column.nullable->empty() && *column.nullable != found->nullable) {
    if (targetNotNull && hasDefault) runIgnoringErrors(oracle_ddl::fillNulls(table, column));
    runIgnoringErrors(oracle_ddl::modifyColumn(table, column, *column.nullable));
  }
}

void OracleReconciler::indexStep(const PackageTable& table) {
  // Rebuilt on every run, whether or not anything changed.
  for (const auto& index : ddl::indexGroups(table)) {
    runIgnoringErrors(oracle_ddl::dropIndex(index.name));
    runIgnoringErrors(ddl::createIndex(index, table.tableName));
  }
}

}  // namespace schema
