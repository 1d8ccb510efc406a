#include "central/world/change.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include "central/world/hashing.h"
#include "central/world/key_text.h"
#include "central/world/row_maker.h"
#include "central/world/statements.h"
#include "central/world/transaction.h"
#include "central/world/world.h"

namespace central {

int64_t ChangeSummary::changedRows() const {
  int64_t total = 0;
  for (const auto& [name, change] : tables) {
    total += static_cast<int64_t>(change.updated.size() + change.inserted.size() +
                                  change.deleted.size());
  }
  return total;
}

namespace {

using world::mix;
using world::textHash;
using Row = std::vector<db::Value>;

// Set up once by the world and relied on by every demo run: never changed by a batch.
const std::set<std::string, std::less<>> kFixedTables = {
    "FILIAL",   "CAIXA",         "PARAMGERAL",   "GERPARAMGERAL",
    "PARAVEND", "CONFTELACAIXA", "CTRLBAIXATAB", "CTRLATUALTAB"};

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool changeable(const Table& t) {
  return t.kind == TableKind::Data && t.inCacheList && t.primaryKey && !t.updateColumn.empty() &&
         t.registerColumn.empty() && !kFixedTables.count(t.name);
}

// Values as the table's types hold them, whatever form the engine reads them back in.
db::Value normalized(const Column& column, const db::Value& value) {
  if (value.isNull()) return value;
  if (column.type == "DATETIME") return value.asDateTime();
  if (startsWith(column.type, "DECIMAL")) return value.asDouble();
  if (column.type == "INT" || column.type == "BIGINT") return value.asInt();
  return value.asText();
}

size_t columnIndex(const Table& t, const std::string& name) {
  for (size_t i = 0; i < t.columns.size(); ++i) {
    if (t.columns[i].name == name) return i;
  }
  throw std::invalid_argument("table " + t.name + " has no column " + name);
}

std::vector<db::Value> valuesOf(const Table& t, const Row& row,
                                const std::vector<std::string>& columns) {
  std::vector<db::Value> values;
  for (const std::string& c : columns) values.push_back(row[columnIndex(t, c)]);
  return values;
}

std::string keyText(const Table& t, const Row& row) {
  return cacheKeyText(t.name, t.keyColumns(), valuesOf(t, row, t.keyColumns()));
}

void bindKey(db::Statement& statement, const Table& t, const Row& row) {
  for (const std::string& k : t.keyColumns()) statement.bind("P_" + k, row[columnIndex(t, k)]);
}

// The column a plain change rewrites: a description, a name or a value.
std::optional<size_t> payloadColumn(const Table& t) {
  const std::vector<std::string> key = t.keyColumns();
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const Column& c = t.columns[i];
    if (c.name == t.updateColumn || c.name == t.branchColumn ||
        std::find(key.begin(), key.end(), c.name) != key.end()) {
      continue;
    }
    const bool text =
        (startsWith(c.name, "DS") || startsWith(c.name, "NM")) && world::varcharWidth(c.type) >= 2;
    const bool amount =
        (startsWith(c.name, "VR") || startsWith(c.name, "QT")) && startsWith(c.type, "DECIMAL");
    if (text || amount) return i;
  }
  return std::nullopt;
}

// The key column an inserted row differs in from the row it copies: preferably one no other
// table refers to, never the branch or the register.
std::optional<size_t> varyingKeyColumn(const Table& t) {
  std::optional<size_t> fallback;
  for (const std::string& k : t.keyColumns()) {
    const size_t i = columnIndex(t, k);
    const Column& c = t.columns[i];
    if (k == t.branchColumn || k == "CDCAIXA" || k == "CDFILIAL") continue;
    if (world::varcharWidth(c.type) >= 2 || c.type == "DATETIME") {
      if (!fallback) fallback = i;
      if (c.type != "DATETIME" && !startsWith(k, "CDPRODUTO") && !startsWith(k, "CDCLIENTE")) {
        return i;
      }
    }
  }
  return fallback;
}

db::Value newKeyValue(const Column& column, const db::Value& old, uint64_t h) {
  if (column.type == "DATETIME") {
    return old.asDateTime().addDays(-static_cast<int64_t>(1 + h % 3650));
  }
  static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const int width = std::min(world::varcharWidth(column.type), 10);
  std::string text = "Z";  // generated codes are digits only, so a Z-code is always new
  for (int i = 1; i < width; ++i, h /= 36) text += kDigits[h % 36];
  return text;
}

// Distinct row numbers below n, chosen by the seed, not among `taken`.
std::vector<int64_t> pick(int64_t n, int count, uint64_t seed, std::set<int64_t>& taken) {
  std::vector<int64_t> chosen;
  for (uint64_t attempt = 0; static_cast<int>(chosen.size()) < count &&
                             static_cast<int64_t>(taken.size()) < n && attempt < 64ULL * count;
       ++attempt) {
    const int64_t index = static_cast<int64_t>(mix(seed + attempt) % static_cast<uint64_t>(n));
    if (taken.insert(index).second) chosen.push_back(index);
  }
  return chosen;
}

class TableBatch {
 public:
  TableBatch(db::Connection& connection, const Model& model, const Table& table, uint64_t seed,
             const ChangeOptions& options, db::DateTime at, ChangeSummary& summary)
      : connection_(connection),
        model_(model),
        table_(table),
        seed_(seed ^ textHash(table.name)),
        options_(options),
        at_(at),
        summary_(summary) {}

  void run() {
    auto counted = connection_.query(world::countStatement(table_));
    const int64_t count = counted->next() ? counted->at(0).asInt() : 0;
    if (count == 0) return;
    const bool deletable = !model_.deleteCachesOf(table_.name).empty();
    std::set<int64_t> taken;
    const auto updates = pick(count, options_.updatesPerTable, seed_, taken);
    const auto deletes = pick(count, deletable ? options_.deletesPerTable : 0, mix(seed_), taken);
    std::set<int64_t> templatesTaken;
    const auto templates = pick(count, options_.insertsPerTable, mix(mix(seed_)), templatesTaken);
    std::map<int64_t, Row> rows = readRows(updates, deletes, templates);

    TableChange& change = summary_.tables[table_.name];
    world::inTransaction(connection_, "changing central table " + table_.name, [&] {
      for (int64_t r : updates) update(rows.at(r), change);
      for (size_t i = 0; i < templates.size(); ++i) insertCopy(rows.at(templates[i]), i, change);
      for (int64_t r : deletes) remove(rows.at(r), change);
    });
    if (change.updated.empty() && change.inserted.empty() && change.deleted.empty()) {
      summary_.tables.erase(table_.name);
    }
  }

 private:
  std::map<int64_t, Row> readRows(const std::vector<int64_t>& a, const std::vector<int64_t>& b,
                                  const std::vector<int64_t>& c) {
    std::set<int64_t> wanted(a.begin(), a.end());
    wanted.insert(b.begin(), b.end());
    wanted.insert(c.begin(), c.end());
    std::map<int64_t, Row> rows;
    auto result = connection_.query(world::selectAllOrderedStatement(table_));
    std::vector<size_t> at;
    for (const Column& column : table_.columns) at.push_back(result->indexOf(column.name));
    for (int64_t r = 0; result->next() && rows.size() < wanted.size(); ++r) {
      if (!wanted.count(r)) continue;
      Row row;
      for (size_t i = 0; i < at.size(); ++i) {
        row.push_back(normalized(table_.columns[i], result->at(at[i])));
      }
      rows.emplace(r, std::move(row));
    }
    return rows;
  }

  void update(Row& row, TableChange& change) {
    std::vector<std::string> set{table_.updateColumn};
    row[columnIndex(table_, table_.updateColumn)] = at_;
    if (const auto payload = payloadColumn(table_)) {
      const Column& c = table_.columns[*payload];
      set.push_back(c.name);
      if (startsWith(c.type, "DECIMAL")) {
        row[*payload] =
            1000.0 + static_cast<double>(mix(seed_ + change.updated.size()) % 100000) / 100.0;
      } else {
        std::string text = "ALTERADO " + std::to_string(seed_ % 100000);
        text.resize(std::min<size_t>(text.size(), world::varcharWidth(c.type)));
        row[*payload] = text;
      }
    }
    db::Statement& statement = connection_.prepare(world::updateByKeyStatement(table_, set));
    for (const std::string& c : set) statement.bind("P_" + c, row[columnIndex(table_, c)]);
    bindKey(statement, table_, row);
    statement.execute();
    change.updated.push_back(keyText(table_, row));
  }

  void insertCopy(Row row, size_t ordinal, TableChange& change) {
    const auto varying = varyingKeyColumn(table_);
    if (!varying) return;
    row[columnIndex(table_, table_.updateColumn)] = at_;
    db::Statement& exists = connection_.prepare(world::existsByKeyStatement(table_));
    for (uint64_t attempt = 0; attempt < 8; ++attempt) {
      row[*varying] = newKeyValue(table_.columns[*varying], row[*varying],
                                  mix(seed_ + 1000003ULL * (ordinal + 1) + attempt));
      bindKey(exists, table_, row);
      if (exists.query()->next()) continue;
      db::Statement& insert = connection_.prepare(world::insertStatement(table_));
      for (size_t c = 0; c < row.size(); ++c) insert.bind(c, row[c]);
      insert.execute();
      change.inserted.push_back(keyText(table_, row));
      return;
    }
  }

  void remove(const Row& row, TableChange& change) {
    db::Statement& statement = connection_.prepare(world::deleteByKeyStatement(table_));
    bindKey(statement, table_, row);
    statement.execute();
    change.deleted.push_back(keyText(table_, row));
    const db::Value branch =
        table_.branchColumn.empty() ? db::Value() : row[columnIndex(table_, table_.branchColumn)];
    for (const Table* cache : model_.deleteCachesOf(table_.name)) {
      const std::string key = cacheKeyText(table_.name, cache->deleteCacheOf->keyColumns,
                                           valuesOf(table_, row, cache->deleteCacheOf->keyColumns));
      db::Statement& record = connection_.prepare(
          world::insertStatement(cache->name, {"DSKEYCACHE", "DTULTATUCACH", "CDFILIAL"}));
      record.bind("P_DSKEYCACHE", key);
      record.bind("P_DTULTATUCACH", at_);
      record.bind("P_CDFILIAL", branch);
      record.execute();
      summary_.deleteCacheRows[cache->name].push_back(key);
    }
  }

  db::Connection& connection_;
  const Model& model_;
  const Table& table_;
  uint64_t seed_;
  const ChangeOptions& options_;
  db::DateTime at_;
  ChangeSummary& summary_;
};

}  // namespace

std::vector<std::string> changeableTables(const Model& model) {
  std::vector<std::string> names;
  for (const Table& t : model.tables()) {
    if (changeable(t)) names.push_back(t.name);
  }
  return names;
}

ChangeSummary applyChange(db::Connection& connection, const Model& model, uint64_t seed,
                          const ChangeOptions& options) {
  if (options.updatesPerTable < 0 || options.insertsPerTable < 0 || options.deletesPerTable < 0) {
    throw std::invalid_argument("change counts cannot be negative");
  }
  const std::vector<std::string> names =
      options.tables.empty() ? changeableTables(model) : options.tables;
  // Checked before anything is written: a batch dated no later than rows it may touch would
  // write deletions the register never applies and updates it never asks for.
  std::optional<db::DateTime> newest;
  std::string newestTable;
  for (const std::string& name : names) {
    const Table& table = model.table(name);
    if (!changeable(table)) {
      throw std::invalid_argument("central table " + name + " cannot be changed by a batch");
    }
    auto rows = connection.query(world::newestUpdateStatement(table));
    if (rows->next() && !rows->at(0).isNull() && (!newest || rows->at(0).asDateTime() > *newest)) {
      newest = rows->at(0).asDateTime();
      newestTable = name;
    }
  }
  ChangeSummary summary;
  // Without a time, a batch comes a day after the base date, or a day after the newest update
  // when an earlier batch already went past it, so batches can follow one another.
  summary.at = options.at.value_or(worldBaseDate().addDays(1));
  if (!options.at && newest && *newest >= summary.at) summary.at = newest->addDays(1);
  if (newest && *newest >= summary.at) {
    throw std::invalid_argument("change time " + summary.at.iso() + " is not later than " +
                                newest->iso() + ", the newest update of " + newestTable);
  }
  for (const std::string& name : names) {
    const Table& table = model.table(name);
    TableBatch(connection, model, table, seed, options, summary.at, summary).run();
  }
  return summary;
}

}  // namespace central
