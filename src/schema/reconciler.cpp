#include "schema/reconciler.h"

#include <algorithm>

#include "db/core/text.h"
#include "schema/ddl_text.h"
#include "schema/package_check.h"
#include "schema/statements.h"

namespace schema {
namespace {

const LocalColumn* findColumn(const std::vector<LocalColumn>& columns, std::string_view name) {
  auto it = std::find_if(columns.begin(), columns.end(),
                         [&](const LocalColumn& c) { return db::iequals(c.name, name); });
  return it == columns.end() ? nullptr : &*it;
}

}  // namespace

SqlServerReconciler::SqlServerReconciler(db::Connection& local, std::string owner,
                                         std::string nrorg, ReconcileServices services)
    : local_(&local),
      nrorg_(std::move(nrorg)),
      services_(std::move(services)),
      catalog_(local, std::move(owner), services_.log) {}

bool SqlServerReconciler::runIgnoringErrors(const std::string& statement) {
  try {
    local_->execute(statement);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void SqlServerReconciler::reconcile(const StructurePackage& package) {
  checkPackage(package);
  for (std::string_view fix : sql::kFixesBefore) runIgnoringErrors(std::string(fix));
  catalog_.load();
  for (const auto& table : package.tables) tableStep(table);
  runIgnoringErrors(std::string(sql::kIndexMovCaixa));
  if (package.constraints) foreignKeyStep(package);
  runIgnoringErrors(std::string(sql::kDropPkCtrlBaixaTab));
}

void SqlServerReconciler::tableStep(const PackageTable& table) {
  const std::string name = ddl::localTableName(table.tableName);
  bool primaryKey = false;
  if (!catalog_.tableExists(name)) {
    // Not guarded: a table that cannot be created ends the reconciliation.
    local_->execute(ddl::createTable(table, name, nrorg_));
    primaryKey = true;
  } else {
    updateTable(table, name, primaryKey);
  }
  if (primaryKey) runIgnoringErrors(ddl::addPrimaryKey(name, ddl::primaryKeyColumns(table, name)));
  catalog_.tableChanged(name);
  indexStep(table, name);
}

void SqlServerReconciler::updateTable(const PackageTable& table, const std::string& name,
                                      bool& primaryKey) {
  localColumns_ = catalog_.columns(name);
  for (const auto& column : table.columns) updateColumn(table, name, column, primaryKey);
}

void SqlServerReconciler::updateColumn(const PackageTable& table, const std::string& name,
                                       const PackageColumn& column, bool& primaryKey) {
  const std::optional<std::string> colDefault = ddl::rewriteDefault(column);
  const std::string trimmedDefault(colDefault ? db::trim(*colDefault) : std::string_view());
  const std::string type = ddl::columnType(name, column);
  const bool targetNotNull = column.nullable == "NOT NULL";
  const std::string alter = "ALTER TABLE " + name + " ALTER COLUMN " + column.name + " ";

  const LocalColumn* local = findColumn(localColumns_, column.name);
  bool typeDiffers = false, nullabilityDiffers = false, needsActiveDefault = false;
  if (local) {
    typeDiffers = ddl::isImageColumn(name, column.name) ? local->fieldType != "IMAGE"
                                                        : column.fieldType != local->fieldType;
    nullabilityDiffers =
        column.nullable && !column.nullable->empty() && *column.nullable != local->nullable;
    needsActiveDefault = db::iequals(column.name, "IDATIVO") && local->colDefault.empty();
  }

  if (db::iequals(name, "BASECALC") && typeDiffers && ddl::isKeyColumn(table, name, column.name)) {
    runIgnoringErrors(std::string(sql::kDropPkBaseCalc));
    primaryKey = true;
  }

  const std::string fillNulls = "UPDATE " + name + " SET " + column.name + " = " + trimmedDefault +
                                " WHERE " + column.name + " IS NULL";
  if (!local) {
    std::string add = "ALTER TABLE " + name + " ADD " + column.name + " " + type;
    if (targetNotNull) add += " NOT NULL";
    if (ddl::isWrittenDefault(colDefault)) add += " DEFAULT " + trimmedDefault + " WITH VALUES";
    runIgnoringErrors(add);
  } else if (typeDiffers && !targetNotNull) {
    alterWithRepair(alter + type + " NULL", column, name);
  } else if (typeDiffers) {
    if (!trimmedDefault.empty()) {
      alterWithRepair(alter + type, column, name);
      runIgnoringErrors(fillNulls);
    }
    alterWithRepair(alter + type + " NOT NULL", column, name);
  } else if (nullabilityDiffers) {
    if (targetNotNull && !trimmedDefault.empty()) runIgnoringErrors(fillNulls);
    runIgnoringErrors(alter + type + " " + *column.nullable);
  }

  if (needsActiveDefault)
    runIgnoringErrors("ALTER TABLE " + name + " ADD DEFAULT " + colDefault.value_or("") + " " +
                      " FOR " + column.name);
}

void SqlServerReconciler::alterWithRepair(const std::string& statement, const PackageColumn& column,
                                          const std::string& table) {
  try {
    local_->execute(statement);
  } catch (const std::exception& e) {
    nrorgRepair(e.what(), column, table, statement);
  }
}

void SqlServerReconciler::nrorgRepair(const std::string& error, const PackageColumn& column,
                                      const std::string& table,
                                      const std::string& failedStatement) {
  // Only a NRORG column held by an index is repaired; other type changes that the server
  // refuses are left for the next run.
  if (!db::iequals(column.name, "NRORG") || db::lower(error).find("tabcreat") == std::string::npos)
    return;
  try {
    local_ = &services_.reconnect();
    catalog_.setConnection(*local_);
    catalog_.tableChanged(table);
    localColumns_ = catalog_.columns(table);
    std::vector<std::string> indexes;
    {
      auto rows = local_->query(sql::kIndTabelaNRORG, {{"P_NMTABELA", table}});
      while (rows->next()) indexes.push_back(rows->at(0).asText());
    }
    if (indexes.empty()) return;
    for (const auto& index : indexes) {
      try {
        local_->execute("DROP INDEX " + index + " ON " + table);
        catalog_.indexDropped(index);
      } catch (const std::exception&) {
        services_.log(error, "3");
      }
    }
    local_->execute(failedStatement);
  } catch (const std::exception& e) {
    services_.log(e.what(), "3");
  }
}

void SqlServerReconciler::indexStep(const PackageTable& table, const std::string& name) {
  for (const auto& index : ddl::indexGroups(table)) {
    if (catalog_.ConsultaIndex(index.name)) continue;
    const std::string create = ddl::createIndex(index, name);
    if (runIgnoringErrors(create) || runIgnoringErrors(create + " WITH DROP_EXISTING"))
      catalog_.indexCreated(index.name);
  }
}

void SqlServerReconciler::foreignKeyStep(const StructurePackage& package) {
  for (const auto& table : package.tables)
    for (const auto& key : ddl::foreignKeys(*package.constraints, table.tableName)) {
      try {
        for (const auto& row : key) checkForeignKeyRow(row);
      } catch (const std::exception& e) {
        services_.log(e.what(), "1");
        continue;
      }
      runIgnoringErrors(ddl::addForeignKey(key, table.tableName));
    }
}

}  // namespace schema
