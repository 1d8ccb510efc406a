#include "load/consumer_merge.h"

#include "db/core/sql_text.h"
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

    std::vector<std::string> columns = tableColumns(conn, "CONSUMIDOR");
    std::vector<size_t> fields;
    std::vector<std::string> sets, setParams;
    for (const auto& column : columns) {
      fields.push_back(rows->fieldByName(column).index());
      // Keys identify the row; the local IDATUCONSUMI stays; the password has its own rule.
      if (db::iequals(column, "CDCLIENTE") || db::iequals(column, "CDCONSUMIDOR") ||
          db::iequals(column, "IDATUCONSUMI") || db::iequals(column, "CDSENHACONS"))
        continue;
      sets.push_back(column);
      setParams.push_back("P_" + column);
    }
    const std::string where = "CDCLIENTE = :K_CDCLIENTE AND CDCONSUMIDOR = :K_CDCONSUMIDOR";
    db::Statement& insert = conn.prepare(db::sql::insertStatement("CONSUMIDOR", columns));
    db::Statement& lookup = conn.prepare(sql::kSelConsumidor);
    db::Statement& update =
        conn.prepare(db::sql::updateStatement("CONSUMIDOR", db::sql::assignmentList(sets), where));
    db::Statement& password =
        conn.prepare(db::sql::updateStatement("CONSUMIDOR", "CDSENHACONS = :P_CDSENHACONS", where));
    std::vector<size_t> setColumns;
    for (const auto& param : setParams) {
      for (size_t c = 0; c < columns.size(); ++c) {
        if (db::iequals("P_" + columns[c], param)) setColumns.push_back(c);
      }
    }
    db::Field client = rows->fieldByName("CDCLIENTE");
    db::Field consumer = rows->fieldByName("CDCONSUMIDOR");
    db::Field newPassword = rows->fieldByName("CDSENHACONS");

    if (!conn.inTransaction()) conn.begin();
    mirror_.begin();
    rows->setLogChanges(false);
    size_t i = 1;
    size_t commitPoint = kBatch;
    for (rows->first(); !rows->eof(); rows->next(), ++i) {
      const db::Value clientKey(client.asString());
      const db::Value consumerKey(consumer.asString());
      bool exists = false;
      std::string localFlag;
      if (hadConsumers) {
        queryInUse = kLookupQuery;
        lookup.bind("P_CDCLIENTE", clientKey);
        lookup.bind("P_CDCONSUMIDOR", consumerKey);
        auto found = lookup.query();
        exists = found->next();
        if (exists) localFlag = found->at(0).asText();
      }
      try {
        if (exists) {
          for (size_t s = 0; s < setColumns.size(); ++s)
            update.bind(s, rows->field(fields[setColumns[s]]).value());
          update.bind("K_CDCLIENTE", clientKey);
          update.bind("K_CDCONSUMIDOR", consumerKey);
          update.execute();
          if (passwordMayChange(localFlag, clientKey, consumerKey)) {
            password.bind("P_CDSENHACONS", newPassword.value());
            password.bind("K_CDCLIENTE", clientKey);
            password.bind("K_CDCONSUMIDOR", consumerKey);
            password.execute();
            updateMirrorPassword(clientKey, consumerKey, newPassword.value());
          }
        } else {
          for (size_t c = 0; c < columns.size(); ++c)
            insert.bind(c, rows->field(fields[c]).value());
          insert.execute();
        }
      } catch (const db::Error& error) {
        if (error.kind() != db::ErrorKind::DuplicateKey) throw;
        ++duplicates_;
      }
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
