#include "load/keyed_merge.h"

#include <unordered_set>

#include "db/core/sql_text.h"
#include "db/core/text.h"
#include "download/component_error.h"
#include "download/ledger/control_ledger.h"
#include "load/load_sql.h"
#include "load/new_keys.h"

namespace load {

namespace {

constexpr std::string_view kStatusColumn = "IDSTMESAAUX";
constexpr std::string_view kNewTableStatus = "D";

std::string keyCondition(const std::vector<std::string_view>& keys) {
  return db::sql::keyCondition(std::vector<std::string>(keys.begin(), keys.end()), "K_");
}

bool contains(const std::vector<std::string_view>& list, std::string_view name) {
  for (auto item : list) {
    if (db::iequals(item, name)) return true;
  }
  return false;
}

// Key parameters travel as text, date-time keys as date-times, as the lookup declares them.
db::Value keyValue(db::Field& field) {
  if (isDateTimeType(field.type()))
    return field.isNull() ? db::Value() : db::Value(field.asDateTime());
  return db::Value(field.asString());
}

// The columns a member writes and the dataset field each one comes from.
struct ColumnMap {
  std::vector<std::string> names;
  std::vector<size_t> fields;
};

ColumnMap mapColumns(db::Connection& conn, const MergeTable& member, db::DataSet& rows) {
  ColumnMap map;
  if (member.has(kProductColumns)) {
    // Products take only what the download carries; the other columns keep their local values.
    for (auto column : productColumns()) {
      const int index = rows.fieldIndex(column);
      if (index < 0) continue;
      map.names.emplace_back(column);
      map.fields.push_back(static_cast<size_t>(index));
    }
    return map;
  }
  for (auto& column : tableColumns(conn, member.table)) {
    map.fields.push_back(rows.fieldByName(column).index());
    map.names.push_back(std::move(column));
  }
  return map;
}

bool tableIsEmpty(db::Connection& conn, std::string_view table) {
  return !conn.prepare(std::string(sql::kProbePrefix) + std::string(table)).query()->next();
}

}  // namespace

bool isDateTimeType(db::FieldType type) {
  return type == db::FieldType::DateTime || type == db::FieldType::SqlDateTime ||
         type == db::FieldType::Date;
}

std::string keyText(const std::vector<db::Value>& values) {
  std::string text;
  for (const auto& value : values) {
    text += value.kind() == db::Value::Kind::DateTime ? value.getDateTime().iso() : value.asText();
    text += '\x1f';
  }
  return text;
}

std::vector<size_t> parameterIndices(db::Statement& statement,
                                     const std::vector<std::string>& names) {
  const auto& declared = statement.parameterNames();
  std::vector<size_t> indices;
  for (const auto& name : names) {
    size_t at = 0;
    while (at < declared.size() && !db::iequals(declared[at], name)) ++at;
    if (at == declared.size())
      throw db::Error(db::ErrorKind::General, "statement has no parameter " + name,
                      statement.text());
    indices.push_back(at);
  }
  return indices;
}

void KeyedMerge::run(const MergeTable& member, bool flagS) {
  ctx_.env.processMessages();
  if (member.has(kDuplicateCleanup)) ctx_.log("before check cds " + std::string(member.table), "2");
  db::DataSet* rows = ctx_.rowsOf(member.dataset);
  if (rows == nullptr) return;
  try {
    if (member.has(kDeliveryHistory)) {
      insertDeliveryHistory(*rows);
    } else {
      upsertAll(member, *rows, flagS);
    }
    if (member.has(kDeleteMissing)) deleteMissing(member, *rows);
  } catch (const std::exception& error) {
    if (ctx_.conn.inTransaction()) ctx_.conn.rollback();
    throw download::ComponentError(std::string(member.query), error.what());
  }
  if (member.has(kEmptyAfter)) rows->emptyDataSet();
}

void KeyedMerge::runInBatches(const MergeTable& member, size_t batch) {
  batch_ = batch;
  try {
    run(member);
  } catch (...) {
    batch_ = 0;
    throw;
  }
  batch_ = 0;
}

namespace {

int indexOf(const std::vector<std::string>& names, std::string_view name) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (db::iequals(names[i], name)) return static_cast<int>(i);
  }
  return -1;
}

std::vector<std::string> prefixed(std::string_view prefix, const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const auto& name : names) out.push_back(std::string(prefix) + name);
  return out;
}

// The prepared statements of one member and where each parameter takes its value from.
struct UpsertStatements {
  db::Statement* update = nullptr;
  db::Statement* insert = nullptr;
  db::Statement* removeKey = nullptr;  // duplicate cleanup only
  std::vector<size_t> updateKeys, updateValues, insertValues, removeKeys;
  std::vector<size_t> setColumns;  // the written column behind each SET parameter

  UpsertStatements(db::Connection& conn, const MergeTable& member,
                   const std::vector<std::string>& columns) {
    std::vector<std::string> keys, setNames;
    for (auto key : member.keys) keys.emplace_back(key);
    for (size_t c = 0; c < columns.size(); ++c) {
      const bool keepsLocal = member.has(kKeepsStatus) && db::iequals(columns[c], kStatusColumn);
      if (contains(member.keys, columns[c]) || keepsLocal) continue;
      setNames.push_back(columns[c]);
      setColumns.push_back(c);
    }
    // A table of key columns only still needs an UPDATE that tells whether the row exists.
    const std::string sets =
        setNames.empty() ? keys.front() + " = " + keys.front() : db::sql::assignmentList(setNames);
    const std::string where = keyCondition(member.keys);
    update = &conn.prepare(db::sql::updateStatement(member.table, sets, where));
    insert = &conn.prepare(db::sql::insertStatement(member.table, columns));
    updateKeys = parameterIndices(*update, prefixed("K_", keys));
    updateValues = parameterIndices(*update, prefixed("P_", setNames));
    insertValues = parameterIndices(*insert, prefixed("P_", columns));
    if (member.has(kDuplicateCleanup)) {
      removeKey = &conn.prepare(db::sql::deleteStatement(member.table, where));
      removeKeys = parameterIndices(*removeKey, prefixed("K_", keys));
    }
  }

  // Rewrites the row of the key, or inserts it when there is none (or, with the duplicate
  // cleanup, when several rows share the key: they go first). A key known to be new is inserted
  // without its UPDATE; should the database hold it after all (it compares keys its own way),
  // the INSERT is refused and the row takes the usual way.
  void write(const std::vector<db::Value>& keys, const std::vector<db::Value>& values,
             int statusColumn, std::vector<db::Value>& insertValuesBuffer, bool knownNew) {
    if (knownNew) {
      try {
        insertRow(values, statusColumn, insertValuesBuffer);
        return;
      } catch (const db::Error& error) {
        if (error.kind() != db::ErrorKind::DuplicateKey) throw;
      }
    }
    for (size_t k = 0; k < keys.size(); ++k) update->bind(updateKeys[k], keys[k]);
    for (size_t s = 0; s < setColumns.size(); ++s)
      update->bind(updateValues[s], values[setColumns[s]]);
    const int64_t matched = update->execute();
    if (matched == 1 || (matched > 1 && removeKey == nullptr)) return;
    if (matched > 1) {
      for (size_t k = 0; k < keys.size(); ++k) removeKey->bind(removeKeys[k], keys[k]);
      removeKey->execute();
    }
    insertRow(values, statusColumn, insertValuesBuffer);
  }

  void insertRow(const std::vector<db::Value>& values, int statusColumn,
                 std::vector<db::Value>& insertValuesBuffer) {
    const std::vector<db::Value>* row = &values;
    if (statusColumn >= 0) {
      insertValuesBuffer = values;
      insertValuesBuffer[static_cast<size_t>(statusColumn)] = kNewTableStatus;
      row = &insertValuesBuffer;
    }
    for (size_t c = 0; c < row->size(); ++c) insert->bind(insertValues[c], (*row)[c]);
    insert->execute();
  }
};

}  // namespace

void KeyedMerge::upsertAll(const MergeTable& member, db::DataSet& rows, bool flagS) {
  db::Connection& conn = ctx_.conn;
  const ColumnMap columns = mapColumns(conn, member, rows);
  std::vector<size_t> keyFields;
  for (auto key : member.keys) keyFields.push_back(rows.fieldByName(key).index());
  UpsertStatements statements(conn, member, columns.names);

  db::Value stamp;
  int stampColumn = -1;
  if (member.has(kStampGreatest)) {
    stamp = greatestOf(rows, member.dateColumn);
    stampColumn = indexOf(columns.names, member.dateColumn);
  }
  const int statusColumn = member.has(kKeepsStatus) ? indexOf(columns.names, kStatusColumn) : -1;

  NewKeys newKeys(tableIsEmpty(conn, member.table), rows.recordCount());
  if (!conn.inTransaction()) conn.begin();
  const size_t total = rows.recordCount();
  size_t written = 0;
  std::vector<db::Value> values(columns.names.size()), inserted;
  std::vector<db::Value> keys(keyFields.size());
  for (rows.first(); !rows.eof(); rows.next()) {
    for (size_t c = 0; c < values.size(); ++c) values[c] = rows.field(columns.fields[c]).value();
    if (stampColumn >= 0) values[static_cast<size_t>(stampColumn)] = stamp;
    for (size_t k = 0; k < keys.size(); ++k) {
      db::Field field = rows.field(keyFields[k]);
      keys[k] = keyValue(field);
    }
    statements.write(keys, values, statusColumn, inserted, newKeys.claim(keys));
    if (member.has(kKeepAliveTick)) ctx_.keepAlive.mantemConexao(false);
    ++written;
    if (batch_ > 0 && (written % batch_ == 0 || written == total)) {
      conn.commit();
      ctx_.log("Inserido " + std::to_string(written) + " de " + std::to_string(total), "2");
      if (written != total) conn.begin();
    }
  }
  if (member.has(kLedger) && (!member.has(kLedgerOnFlag) || flagS)) {
    const db::Value greatest =
        member.has(kStampGreatest) ? stamp : greatestOf(rows, member.dateColumn);
    const std::string cashRegister = member.has(kStampGreatest) ? ctx_.state.cashRegister : "";
    download::gravaCtrlBaixaTab(conn, ctx_.state.branch, member.table, cashRegister, greatest);
  }
  if (conn.inTransaction()) conn.commit();
}

void KeyedMerge::insertDeliveryHistory(db::DataSet& rows) {
  db::Connection& conn = ctx_.conn;
  db::Statement& order = conn.prepare(sql::kValCliHistPedCons);
  db::Statement& insert = conn.prepare(sql::kInsHistPedCons);
  db::Field cdFilial = rows.fieldByName("CDFILIAL");
  db::Field cdLoja = rows.fieldByName("CDLOJA");
  db::Field nrVendaRestAux = rows.fieldByName("NRVENDARESTAUX");
  db::Field dtHrAberMesa = rows.fieldByName("DTHRABERMESA");
  db::Field nrSeqHistPed = rows.fieldByName("NRSEQHISTPED");
  db::Field idHistPedCons = rows.fieldByName("IDHISTPEDCONS");
  db::Field dsHistPedCons = rows.fieldByName("DSHISTPEDCONS");
  db::Field dtHrHistPedCons = rows.fieldByName("DTHRHISTPEDCONS");

  if (!conn.inTransaction()) conn.begin();
  for (rows.first(); !rows.eof(); rows.next()) {
    order.bind("P_CDFILIAL", db::Value(cdFilial.asString()));
    order.bind("P_CDLOJA", db::Value(cdLoja.asString()));
    order.bind("P_NRVENDARESTAUX", db::Value(nrVendaRestAux.asString()));
    order.bind("P_DTHRABERMESA", keyValue(dtHrAberMesa));
    auto found = order.query();
    // History of an order this register does not hold is of no use here.
    if (!found->next()) continue;
    insert.bind("P_CDFILIAL", cdFilial.value());
    insert.bind("P_CDLOJA", cdLoja.value());
    insert.bind("P_NRVENDAREST", (*found)["NRVENDAREST"]);
    insert.bind("P_NRCOMANDA", (*found)["NRCOMANDA"]);
    found.reset();
    insert.bind("P_NRSEQHISTPED", nrSeqHistPed.value());
    insert.bind("P_IDHISTPEDCONS", idHistPedCons.value());
    insert.bind("P_DSHISTPEDCONS", dsHistPedCons.value());
    insert.bind("P_DTHRHISTPEDCONS", dtHrHistPedCons.value());
    try {
      insert.execute();
    } catch (const db::Error& error) {
      // A history line downloaded again is already here; it must not stop the load.
      if (error.kind() != db::ErrorKind::DuplicateKey) throw;
    }
  }
  conn.commit();
}

void KeyedMerge::deleteMissing(const MergeTable& member, db::DataSet& rows) {
  std::vector<size_t> keyFields;
  for (auto key : member.keys) keyFields.push_back(rows.fieldByName(key).index());
  std::unordered_set<std::string> downloaded;
  std::vector<db::Value> key(keyFields.size());
  for (rows.first(); !rows.eof(); rows.next()) {
    for (size_t k = 0; k < keyFields.size(); ++k) {
      db::Field field = rows.field(keyFields[k]);
      key[k] = field.isNull() ? db::Value() : db::Value(field.asString());
      if (isDateTimeType(field.type()) && !field.isNull()) key[k] = field.asDateTime();
    }
    downloaded.insert(keyText(key));
  }
  rows.first();

  std::vector<std::string> keyNames;
  for (auto k : member.keys) keyNames.emplace_back(k);
  std::vector<std::vector<db::Value>> missing;
  {
    auto local = ctx_.conn.query("SELECT " + db::sql::joined(keyNames) + " FROM " +
                                 std::string(member.table));
    while (local->next()) {
      for (size_t k = 0; k < key.size(); ++k) {
        const db::Value& value = local->at(k);
        key[k] = value.isNull() || value.kind() == db::Value::Kind::DateTime
                     ? value
                     : db::Value(value.asText());
      }
      if (!downloaded.contains(keyText(key))) missing.push_back(key);
    }
  }
  // Each delete commits on its own: the merge's transaction has ended.
  db::Statement& remove =
      ctx_.conn.prepare(db::sql::deleteStatement(member.table, keyCondition(member.keys)));
  const auto indices = parameterIndices(remove, prefixed("K_", keyNames));
  for (const auto& row : missing) {
    for (size_t k = 0; k < row.size(); ++k) remove.bind(indices[k], row[k]);
    remove.execute();
  }
}

}  // namespace load
