#include "central/model/model.h"

#include <fstream>
#include <sstream>

#include "db/core/text.h"

namespace central {

const Column* Table::findColumn(std::string_view columnName) const {
  for (const Column& c : columns) {
    if (db::iequals(c.name, columnName)) return &c;
  }
  return nullptr;
}

const Column& Table::column(std::string_view columnName) const {
  if (const Column* c = findColumn(columnName)) return *c;
  throw ModelError("table " + name + " has no column " + std::string(columnName));
}

std::vector<std::string> Table::keyColumns() const {
  return primaryKey ? primaryKey->columns : std::vector<std::string>{};
}

Model::Model(std::vector<Table> tables, std::vector<CacheListEntry> cacheList,
             std::vector<Position> positions, std::vector<RequestSlot> slots)
    : tables_(std::move(tables)),
      cacheList_(std::move(cacheList)),
      positions_(std::move(positions)),
      slots_(std::move(slots)) {
  for (size_t i = 0; i < tables_.size(); ++i) {
    if (!byName_.emplace(db::upper(tables_[i].name), i).second) {
      throw ModelError("table " + tables_[i].name + " is defined twice");
    }
  }
}

const Table* Model::findTable(std::string_view name) const {
  auto it = byName_.find(db::upper(name));
  return it == byName_.end() ? nullptr : &tables_[it->second];
}

const Table& Model::table(std::string_view name) const {
  if (const Table* t = findTable(name)) return *t;
  throw ModelError("the central model has no table " + std::string(name));
}

std::vector<const Table*> Model::deleteCachesOf(std::string_view dataTable) const {
  std::vector<const Table*> found;
  for (const Table& t : tables_) {
    if (t.deleteCacheOf && db::iequals(t.deleteCacheOf->table, dataTable)) found.push_back(&t);
  }
  return found;
}

Model loadModel(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ModelError("cannot open model file " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return parseModel(text.str(), path.string());
}

}  // namespace central
