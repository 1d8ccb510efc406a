#include "schema/local_catalog.h"

#include "db/core/text.h"
#include "schema/statements.h"

namespace schema {
namespace {

LocalColumn columnOf(const db::Rows& rows) {
  return {rows["COL_NAME"].asText(), rows["FIELD_TYPE"].asText(), rows["NULLABLE"].asText(),
          rows["COL_DEFAULT"].isNull() ? std::string() : rows["COL_DEFAULT"].asText()};
}

}  // namespace

LocalCatalog::LocalCatalog(db::Connection& connection, std::string owner, LogLine log)
    : connection_(&connection), owner_(std::move(owner)), log_(std::move(log)) {}

void LocalCatalog::load() {
  objects_.clear();
  columns_.clear();
  try {
    ++reads_;
    auto names = connection_->query(sql::kAllObjectNames);
    while (names->next()) objects_.insert(db::upper((*names)["NAME"].asText()));
    ++reads_;
    auto rows = connection_->query(sql::kLocalStructAllTables, {{"P_OWNER", owner_}});
    while (rows->next())
      columns_[db::upper((*rows)["TABLE_NAME"].asText())].push_back(columnOf(*rows));
    // An object without columns here (a constraint, another owner's table) has none.
    for (const auto& name : objects_) columns_.try_emplace(name);
    loaded_ = true;
  } catch (const std::exception&) {
    // A catalogue that cannot be read whole is asked table by table, as each step needs it.
    objects_.clear();
    columns_.clear();
    loaded_ = false;
  }
  loadIndexNames();
}

void LocalCatalog::loadIndexNames() {
  indexes_.clear();
  try {
    ++reads_;
    auto rows = connection_->query(sql::kAllIndexNames);
    while (rows->next()) indexes_.insert(db::upper(rows->at(0).asText()));
    indexesLoaded_ = true;
  } catch (const std::exception&) {
    // Each name is then asked for on its own, which logs its failure.
    indexesLoaded_ = false;
  }
}

bool LocalCatalog::tableExists(std::string_view table) {
  if (loaded_) return objects_.count(db::upper(table)) > 0;
  ++reads_;
  auto rows = connection_->query(sql::kExisteTabela, {{"P_NAME", std::string(table)}});
  return rows->next() && rows->at(0).asInt() > 0;
}

std::vector<LocalColumn> LocalCatalog::readColumns(std::string_view table) {
  ++reads_;
  std::vector<LocalColumn> result;
  auto rows = connection_->query(sql::kLocalStructMSDE,
                                 {{"P_OWNER", owner_}, {"P_TABLE", std::string(table)}});
  while (rows->next()) result.push_back(columnOf(*rows));
  return result;
}

const std::vector<LocalColumn>& LocalCatalog::columns(std::string_view table) {
  const std::string key = db::upper(table);
  auto it = columns_.find(key);
  if (it == columns_.end()) it = columns_.emplace(key, readColumns(table)).first;
  return it->second;
}

void LocalCatalog::tableChanged(std::string_view table) {
  const std::string key = db::upper(table);
  objects_.insert(key);
  columns_.erase(key);
}

bool LocalCatalog::ConsultaIndex(std::string_view name) {
  if (indexesLoaded_) return indexes_.count(db::upper(name)) > 0;
  try {
    ++reads_;
    auto rows = connection_->query(sql::kConsultaIndex, {{"P_NAME", std::string(name)}});
    return rows->next();
  } catch (const std::exception& e) {
    log_(std::string("ConsultaIndex -> ") + e.what(), "1");
    return false;
  }
}

void LocalCatalog::indexCreated(std::string_view name) { indexes_.insert(db::upper(name)); }
void LocalCatalog::indexDropped(std::string_view name) { indexes_.erase(db::upper(name)); }

}  // namespace schema
