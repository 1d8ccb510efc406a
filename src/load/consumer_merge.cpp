#include "load/consumer_merge.h"

#include "db/core/text.h"
#include "download/component_error.h"
#include "load/keyed_merge.h"
#include "load/load_sql.h"

namespace load {

namespace {

constexpr std::string_view kDataset = "cdsConsumidor";
constexpr std::string_view kInsertQuery = "adqCliConsumidor";
constexpr std::string_view kLookupQuery = "adqCliConsPopula";

}  // namespace

// The statements of one merge, prepared once, and where each downloaded field goes.
struct ConsumerMerge::Plan {
  db::Statement& insert;
  db::Statement& lookup;
  db::Statement& update;
  db::Statement& password;
  std::vector<size_t> fields;      // the downloaded field of each local column
  std::vector<size_t> setColumns;  // the local columns the update sets, in its parameter order
  db::Field client;
  db::Field consumer;
  db::Field newPassword;
};

void ConsumerMerge::run() {
  ctx_.env.processMessages();
  duplicates_ = 0;
  db::DataSet* rows = ctx_.rowsOf(kDataset);
  if (rows == nullptr) return;
  db::Connection& conn = ctx_.conn;
  std::string_view queryInUse = kInsertQuery;
  try {
    const bool hadConsumers = conn.query(sql::kAnyConsumidor)->next();
    const size_t total = rows->recordCount();
    ctx_.log("Consumidores a serem inseridos: " + std::to_string(total), "2");
    Plan plan = prepare(*rows);

    if (!conn.inTransaction()) conn.begin();
    mirror_.begin();
    rows->setLogChanges(false);
    size_t i = 1;
    size_t commitPoint = kBatch;
    for (rows->first(); !rows->eof(); rows->next(), ++i) {
      if (hadConsumers) queryInUse = kLookupQuery;
      mergeRow(plan, *rows, hadConsumers);
      if (i == total || i == commitPoint) {
        commitBoth();
        ctx_.log("Inserido " + std::to_string(i - duplicates_) + " de " + std::to_string(total),
                 "2");
        if (i != total) {
          commitPoint += kBatch;
          conn.begin();
          mirror_.begin();
        }
      }
    }
  } catch (const std::exception& error) {
    rollbackBoth();
    throw download::ComponentError(std::string(queryInUse), error.what());
  }
}

ConsumerMerge::Plan ConsumerMerge::prepare(db::DataSet& rows) {
  db::Connection& conn = ctx_.conn;
  const std::vector<std::string> columns = tableColumns(conn, "CONSUMIDOR");
  std::vector<size_t> fields;
  std::vector<size_t> setColumns;
  std::string names, params, sets;
  for (size_t c = 0; c < columns.size(); ++c) {
    const std::string& column = columns[c];
    fields.push_back(rows.fieldByName(column).index());
    names += (names.empty() ? "" : ", ") + column;
    params += (params.empty() ? ":P_" : ", :P_") + column;
    // Keys identify the row; the local IDATUCONSUMI stays; the password has its own rule.
    if (db::iequals(column, "CDCLIENTE") || db::iequals(column, "CDCONSUMIDOR") ||
        db::iequals(column, "IDATUCONSUMI") || db::iequals(column, "CDSENHACONS"))
      continue;
    sets += (sets.empty() ? "" : ", ") + column + " = :P_" + column;
    setColumns.push_back(c);
  }
  const std::string where = " WHERE CDCLIENTE = :K_CDCLIENTE AND CDCONSUMIDOR = :K_CDCONSUMIDOR";
  return Plan{conn.prepare("INSERT INTO CONSUMIDOR (" + names + ") VALUES (" + params + ")"),
              conn.prepare(sql::kSelConsumidor),
              conn.prepare("UPDATE CONSUMIDOR SET " + sets + where),
              conn.prepare("UPDATE CONSUMIDOR SET CDSENHACONS = :P_CDSENHACONS" + where),
              std::move(fields),
              std::move(setColumns),
              rows.fieldByName("CDCLIENTE"),
              rows.fieldByName("CDCONSUMIDOR"),
              rows.fieldByName("CDSENHACONS")};
}

// Updates a consumer already here, inserts a new one; a duplicate key is counted and skipped.
void ConsumerMerge::mergeRow(Plan& plan, db::DataSet& rows, bool lookUp) {
  const db::Value clientKey(plan.client.asString());
  const db::Value consumerKey(plan.consumer.asString());
  bool exists = false;
  std::string localFlag;
  if (lookUp) {
    plan.lookup.bind("P_CDCLIENTE", clientKey);
    plan.lookup.bind("P_CDCONSUMIDOR", consumerKey);
    auto found = plan.lookup.query();
    exists = found->next();
    if (exists) localFlag = found->at(0).asText();
  }
  try {
    if (exists) {
      updateRow(plan, rows, localFlag, clientKey, consumerKey);
    } else {
      for (size_t c = 0; c < plan.fields.size(); ++c)
        plan.insert.bind(c, rows.field(plan.fields[c]).value());
      plan.insert.execute();
    }
  } catch (const db::Error& error) {
    if (error.kind() != db::ErrorKind::DuplicateKey) throw;
    ++duplicates_;
  }
}

void ConsumerMerge::updateRow(Plan& plan, db::DataSet& rows, const std::string& localFlag,
                              const db::Value& clientKey, const db::Value& consumerKey) {
  for (size_t s = 0; s < plan.setColumns.size(); ++s)
    plan.update.bind(s, rows.field(plan.fields[plan.setColumns[s]]).value());
  plan.update.bind("K_CDCLIENTE", clientKey);
  plan.update.bind("K_CDCONSUMIDOR", consumerKey);
  plan.update.execute();
  if (!passwordMayChange(localFlag, clientKey, consumerKey)) return;
  plan.password.bind("P_CDSENHACONS", plan.newPassword.value());
  plan.password.bind("K_CDCLIENTE", clientKey);
  plan.password.bind("K_CDCONSUMIDOR", consumerKey);
  plan.password.execute();
  updateMirrorPassword(clientKey, consumerKey, plan.newPassword.value());
}

bool ConsumerMerge::passwordMayChange(const std::string& localFlag, const db::Value& client,
                                      const db::Value& consumer) {
  if (localFlag != "S") return false;
  db::Connection* central = mirror_.active() ? mirror_.connection() : nullptr;
  if (central == nullptr) return true;
  try {
    auto row = central->query(sql::kSelSenhaConsMirror,
                              {{"P_CDCLIENTE", client}, {"P_CDCONSUMIDOR", consumer}});
    return !row->next() ? false : row->at(0).asText() == "S";
  } catch (const std::exception&) {
    return true;  // an unreadable mirror does not hold back the register's own copy
  }
}

void ConsumerMerge::updateMirrorPassword(const db::Value& client, const db::Value& consumer,
                                         const db::Value& password) {
  db::Connection* central = mirror_.active() ? mirror_.connection() : nullptr;
  if (central == nullptr) return;
  try {
    central->execute(
        sql::kUpdSenhaConsMirror,
        {{"P_CDSENHACONS", password}, {"P_CDCLIENTE", client}, {"P_CDCONSUMIDOR", consumer}});
  } catch (const std::exception&) {
    // The mirror is a convenience copy; its failures never stop the consumer load.
  }
}

void ConsumerMerge::commitBoth() {
  ctx_.conn.commit();
  mirror_.commit();
}

void ConsumerMerge::rollbackBoth() {
  if (ctx_.conn.inTransaction()) ctx_.conn.rollback();
  mirror_.rollback();
}

}  // namespace load
