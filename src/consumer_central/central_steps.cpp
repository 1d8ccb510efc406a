#include "consumer_central/central_steps.h"

#include <optional>
#include <stdexcept>

#include "consumer_central/central_sql.h"
#include "consumer_central/trigger_ddl.h"
#include "db/core/text.h"
#include "schema/server_code.h"
#include "schema/statements.h"

namespace consumer_central {
namespace {

constexpr std::string_view kLogLevel = "3";

std::string logPrefix(const CentralNames& names) {
  return "Banco central de consumidores " + names.database() + ": ";
}

// Runs a statement whose failure the setup passes over; answers the error text, empty on success.
std::string runIgnoringErrors(db::Connection& connection, std::string_view statement) {
  try {
    connection.execute(statement);
    return {};
  } catch (const std::exception& e) {
    return e.what();
  }
}

// The registers of a branch share the central database, and two of them may set it up at the
// same moment: a CREATE that failed because the other one made the object meanwhile has nothing
// left to do. `present` asks again; while the object is still missing the failure stands.
// Answers why the CREATE failed when the object was there all the same; nothing when it went
// through.
template <typename Create, typename Present>
std::optional<std::string> createUnlessMadeMeanwhile(Create&& create, Present&& present) {
  try {
    create();
    return std::nullopt;
  } catch (const std::exception& e) {
    bool there = false;
    try {
      there = present();
    } catch (const std::exception&) {
      // Not readable is not there: the CREATE's own failure is the one to report.
    }
    if (!there) throw;
    return e.what();
  }
}

void logMadeMeanwhile(const schema::LogLine& log, const CentralNames& names,
                      std::string_view object, const std::string& failure) {
  log(logPrefix(names) + "criação concorrente, " + std::string(object) + " já existe: " + failure,
      kLogLevel);
}

std::vector<schema::LocalColumn> localColumns(const CentralSchemaSource& source,
                                              const CentralTable& table) {
  std::vector<schema::LocalColumn> columns;
  auto rows = source.local.query(table.columnsQuery(),
                                 {{"P_OWNER", source.owner}, {"P_TABELA", table.source}});
  while (rows->next())
    columns.push_back({(*rows)["COL_NAME"].asText(), (*rows)["FIELD_TYPE"].asText(),
                       (*rows)["NULLABLE"].asText(), (*rows)["COL_DEFAULT"].asText()});
  if (columns.empty())
    throw std::runtime_error("a tabela local " + std::string(table.source) +
                             " não tem colunas visíveis para o login '" + source.owner + "'");
  return columns;
}

std::vector<IndexColumn> indexColumns(db::Connection& connection, const std::string& query,
                                      std::string_view table) {
  std::vector<IndexColumn> indexes;
  auto rows = connection.query(query, {{"P_TABELA", table}});
  while (rows->next())
    indexes.push_back({(*rows)["INDEX_NAME"].asText(), (*rows)["COL_NAME"].asText(),
                       (*rows)["DESCEND"].asText()});
  return indexes;
}

// adqConsultaIndexCent: an index of that name anywhere in the central database.
bool indexExists(db::Connection& central, const std::string& name, const schema::LogLine& log) {
  try {
    return central.query(schema::sql::kConsultaIndex, {{"P_NAME", name}})->next();
  } catch (const std::exception& e) {
    log("ConsultaIndex -> " + std::string(e.what()), "1");
    return false;
  }
}

// The statements of one table, worked out before the transaction starts.
struct TablePlan {
  const CentralTable* table;
  std::string create;
  std::string primaryKey;
  std::vector<CentralIndex> indexes;
};

TablePlan plan(const CentralSchemaSource& source, const CentralTable& table) {
  const std::vector<schema::LocalColumn> columns = localColumns(source, table);
  const std::vector<IndexColumn> indexes =
      indexColumns(source.local, table.indexesQuery(), table.source);
  return {&table, createTable(table, columns, indexes, source.organisationNumber),
          addPrimaryKey(table, indexes), centralIndexes(table, indexes)};
}

void apply(db::Connection& central, const TablePlan& plan, const schema::LogLine& log) {
  central.execute(plan.create);
  runIgnoringErrors(central, plan.primaryKey);
  for (const CentralIndex& index : plan.indexes) {
    if (indexExists(central, index.name, log)) continue;
    if (!runIgnoringErrors(central, index.create).empty())
      runIgnoringErrors(central, index.create + " WITH DROP_EXISTING");
  }
}

bool keyHoldsBranch(db::Connection& central) {
  try {
    auto rows = central.query(sql::indexesOfTable(), {{"P_TABELA", moviclie().name}});
    while (rows->next())
      if (db::iequals((*rows)["INDEX_NAME"].asText(), moviclie().centralKey) &&
          db::iequals((*rows)["COL_NAME"].asText(), moviclie().extraKeyColumn))
        return true;
  } catch (const std::exception&) {
    // A key that cannot be read is repaired as one without the branch.
  }
  return false;
}

void rollbackQuietly(db::Connection& connection) {
  try {
    if (connection.inTransaction()) connection.rollback();
  } catch (const std::exception&) {
    // The failure being reported is the one that matters.
  }
}

}  // namespace

Probe probe(db::Connection& local, const CentralNames& names, std::string_view table) {
  try {
    // One row tells empty from filled; the table is never read whole.
    return local.query("SELECT TOP 1 1 FROM " + names.qualified(table))->next() ? Probe::Filled
                                                                                : Probe::Empty;
  } catch (const std::exception&) {
    // A central table that cannot be read is one still to be created.
    return Probe::Missing;
  }
}

void recreateProcedure(db::Connection& central, const CentralNames& names, std::string_view name,
                       const schema::LogLine& log) {
  for (const schema::ServerCodeObject& procedure : schema::storedProcedures())
    if (procedure.name == name) {
      central.executeBatch(procedure.dropText);
      const auto failure = createUnlessMadeMeanwhile(
          [&] { central.executeBatch(procedure.createText); },
          [&] {
            return central.query(sql::kExisteProcedure, {{"P_NAME", name}})->next();
          });
      if (failure) logMadeMeanwhile(log, names, "procedure " + std::string(name), *failure);
      return;
    }
  throw std::logic_error("no stored procedure " + std::string(name));
}

Probe createCentralTables(db::Connection& central, const CentralNames& names,
                          const CentralSchemaSource& source,
                          const std::vector<const CentralTable*>& tables) {
  std::vector<TablePlan> plans;
  for (const CentralTable* table : tables) plans.push_back(plan(source, *table));
  // The first table's probe decides the copy, as it does before the creation.
  Probe found = Probe::Empty;
  const auto failure = createUnlessMadeMeanwhile(
      [&] {
        central.begin();
        try {
          for (const TablePlan& p : plans) apply(central, p, source.log);
          central.commit();
        } catch (const std::exception&) {
          rollbackQuietly(central);
          throw;
        }
      },
      [&] {
        for (const CentralTable* table : tables) {
          const Probe now = probe(source.local, names, table->name);
          if (table == tables.front()) found = now;
          if (now == Probe::Missing) return false;
        }
        return true;
      });
  for (const TablePlan& p : plans) {
    const std::string table = "tabela " + std::string(p.table->name);
    if (failure)
      logMadeMeanwhile(source.log, names, table, *failure);
    else
      source.log(logPrefix(names) + table + " criada", kLogLevel);
  }
  return found;
}

void repairMoviclieKey(db::Connection& central, const CentralNames& names,
                       const schema::LogLine& log) {
  if (keyHoldsBranch(central)) return;
  std::string failure;
  try {
    central.begin();
    runIgnoringErrors(central, sql::kDropPkMoviclie);
    failure = runIgnoringErrors(central, sql::kAddPkMoviclie);
    // Without the new key the old one is kept: a table without any key would take duplicates.
    if (failure.empty())
      central.commit();
    else
      central.rollback();
  } catch (const std::exception& e) {
    rollbackQuietly(central);
    failure = e.what();
  }
  log(logPrefix(names) +
          (failure.empty()
               ? "chave primária de MOVICLIE refeita com CDFILIAL"
               : "chave primária de MOVICLIE não pôde ser refeita com CDFILIAL: " + failure),
      kLogLevel);
}

void copyOnce(db::Connection& local, const CentralNames& names,
              const std::vector<const CentralTable*>& tables, const schema::LogLine& log) {
  std::vector<std::string> lines;
  // Another register of the branch may fill the empty table between the probe and this copy;
  // its rows then stand, as when the probe finds them.
  const auto failure = createUnlessMadeMeanwhile(
      [&] {
        const bool own = !local.inTransaction();
        if (own) local.begin();
        try {
          for (const CentralTable* table : tables) {
            const int64_t rows = local.execute("INSERT INTO " + names.qualified(table->name) + " " +
                                               std::string(table->copySelect));
            lines.push_back(logPrefix(names) + "cópia inicial de " + std::string(table->name) +
                            ", " + std::to_string(rows) + " linhas");
          }
          if (own) local.commit();
        } catch (const std::exception&) {
          if (own) rollbackQuietly(local);
          throw;
        }
      },
      [&] { return probe(local, names, tables.front()->name) == Probe::Filled; });
  if (failure) {
    logMadeMeanwhile(log, names, "cópia inicial de " + std::string(tables.front()->name), *failure);
    return;
  }
  for (const auto& line : lines) log(line, kLogLevel);
}

void ensureTrigger(db::Connection& local, const CentralNames& names, const CopyTrigger& trigger,
                   const schema::LogLine& log) {
  bool exists = false;
  bool disabled = false;
  {
    auto rows = local.query(trigger.verifyQuery);
    if (rows->next()) {
      exists = true;
      disabled = (*rows)["is_disabled"].asBool();
    }
  }
  if (!exists) {
    const std::string object = "gatilho " + std::string(trigger.name);
    const auto failure =
        createUnlessMadeMeanwhile([&] { local.executeBatch(createTriggerText(trigger, names)); },
                                  [&] { return local.query(trigger.verifyQuery)->next(); });
    if (failure)
      logMadeMeanwhile(log, names, object, *failure);
    else
      log(logPrefix(names) + object + " criado", kLogLevel);
  } else if (disabled) {
    local.execute(trigger.enableCommand);
    log(logPrefix(names) + "gatilho " + std::string(trigger.name) + " reativado", kLogLevel);
  }
}

}  // namespace consumer_central
