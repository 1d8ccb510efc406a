#include <regex>
#include <set>

#include "central/model/model.h"
#include "db/core/text.h"

namespace central {
namespace {

[[noreturn]] void fail(const std::string& what) { throw ModelError(what); }

// A numbered list of the model holds every number from 0 to count - 1.
void requireCount(size_t size, int count, const std::string& what) {
  if (size != static_cast<size_t>(count))
    fail(what + " must run from 0 to " + std::to_string(count - 1));
}

bool knownType(const std::string& type) {
  static const std::regex kTypes(
      R"(VARCHAR\((MAX|[1-9][0-9]{0,3})\)|DECIMAL\([1-9][0-9]?,[0-9][0-9]?\)|DATETIME|INT|BIGINT|FLOAT)");
  return std::regex_match(type, kTypes);
}

bool identifier(const std::string& name) {
  static const std::regex kIdentifier(R"([A-Za-z_][A-Za-z0-9_]{0,127})");
  return std::regex_match(name, kIdentifier);
}

// Defaults go into DDL as written, so only plain literals and GETDATE() are accepted.
bool plainDefault(const std::string& expression) {
  static const std::regex kDefault(R"('[^']*'|-?[0-9]+(\.[0-9]+)?|GETDATE\(\))");
  return std::regex_match(expression, kDefault);
}

void requireIdentifier(const std::string& name, const std::string& what) {
  if (!identifier(name)) fail(what + " \"" + name + "\" is not a plain identifier");
}

void requireColumn(const Table& t, const std::string& column, const std::string& role) {
  if (!t.hasColumn(column))
    fail("table " + t.name + ": " + role + " " + column + " is not a column");
}

void validateColumns(const Table& t) {
  requireIdentifier(t.name, "table name");
  if (t.columns.empty()) fail("table " + t.name + " has no columns");
  std::set<std::string> seen;
  for (const Column& c : t.columns) {
    requireIdentifier(c.name, "table " + t.name + ": column name");
    if (!seen.insert(db::upper(c.name)).second) {
      fail("table " + t.name + ": column " + c.name + " is defined twice");
    }
    if (!knownType(c.type)) {
      fail("table " + t.name + ": column " + c.name + " has unknown type " + c.type);
    }
    if (c.defaultValue && !plainDefault(*c.defaultValue)) {
      fail("table " + t.name + ": column " + c.name + " has an unsupported default " +
           *c.defaultValue);
    }
  }
}

void validateKeys(const Table& t, std::set<std::string>& constraintNames) {
  if (t.primaryKey) {
    requireIdentifier(t.primaryKey->name, "table " + t.name + ": key name");
    if (t.primaryKey->columns.empty()) fail("table " + t.name + ": primary key without columns");
    if (!constraintNames.insert(db::upper(t.primaryKey->name)).second) {
      fail("table " + t.name + ": constraint name " + t.primaryKey->name + " is used twice");
    }
    for (const std::string& k : t.primaryKey->columns) {
      requireColumn(t, k, "key column");
      if (t.column(k).nullable) fail("table " + t.name + ": key column " + k + " is nullable");
    }
  }
  for (const Index& i : t.indexes) {
    requireIdentifier(i.name, "table " + t.name + ": index name");
    if (i.columns.empty()) fail("table " + t.name + ": index " + i.name + " has no columns");
    if (!constraintNames.insert(db::upper(i.name)).second) {
      fail("table " + t.name + ": index name " + i.name + " is used twice");
    }
    for (const IndexColumn& c : i.columns) requireColumn(t, c.name, "index column");
  }
}

void validateDeleteCache(const Model& model, const Table& t) {
  if (!t.deleteCacheOf) fail("delete-cache table " + t.name + " does not say whose deletions");
  requireColumn(t, "DSKEYCACHE", "delete-cache column");
  requireColumn(t, "DTULTATUCACH", "delete-cache column");
  const Table* source = model.findTable(t.deleteCacheOf->table);
  if (!source || source->kind != TableKind::Data) {
    fail("delete-cache table " + t.name + " names unknown data table " + t.deleteCacheOf->table);
  }
  if (t.deleteCacheOf->keyColumns.empty()) fail("delete-cache table " + t.name + " has no key");
  for (const std::string& k : t.deleteCacheOf->keyColumns) {
    requireColumn(*source, k, "deleted-key column (of " + t.name + ")");
  }
  requireColumn(*source, t.deleteCacheOf->comparedColumn, "compared column (of " + t.name + ")");
}

void validateTable(const Model& model, const Table& t, std::set<std::string>& constraintNames) {
  validateColumns(t);
  validateKeys(t, constraintNames);
  if (!t.branchColumn.empty()) requireColumn(t, t.branchColumn, "branch column");
  if (!t.registerColumn.empty()) requireColumn(t, t.registerColumn, "register column");
  if (!t.updateColumn.empty()) requireColumn(t, t.updateColumn, "update-time column");
  if (t.kind == TableKind::DeleteCache) validateDeleteCache(model, t);
  if (t.kind == TableKind::Data && t.deleteCacheOf) {
    fail("data table " + t.name + " cannot record deletions of another table");
  }
}

void validateCacheList(const Model& model) {
  std::set<std::string> seen;
  for (const CacheListEntry& e : model.cacheList()) {
    const Table* t = model.findTable(e.table);
    if (!t) fail("cache table list names unknown table " + e.table);
    if (!t->inCacheList) fail("table " + e.table + " is in the cache table list but not marked so");
    if (!seen.insert(db::upper(e.table)).second) {
      fail("cache table list names " + e.table + " twice");
    }
  }
  for (const Table& t : model.tables()) {
    if (t.inCacheList && !seen.count(db::upper(t.name))) {
      fail("table " + t.name + " is marked as kept by the register but not in the cache list");
    }
  }
}

void validatePositions(const Model& model) {
  const auto& positions = model.positions();
  requireCount(positions.size(), Model::kPositionCount, "the result positions");
  for (size_t i = 0; i < positions.size(); ++i) {
    const Position& p = positions[i];
    const std::string where = "position " + std::to_string(i);
    if (p.index != static_cast<int>(i)) fail(where + " is out of order");
    const bool salesRange = p.index >= Model::kFirstSalesPosition &&
                            p.index < Model::kFirstSalesPosition + Model::kSalesPositionCount;
    const bool salesKind = p.kind == PositionKind::Sales || p.kind == PositionKind::SalesReturnText;
    if (salesRange != salesKind) fail(where + " does not fit the sales range");
    if (p.kind == PositionKind::Unused || p.kind == PositionKind::SalesReturnText) continue;
    const Table* t = model.findTable(p.table);
    if (!t) fail(where + " names unknown table " + p.table);
    const bool wantCache = p.kind == PositionKind::DeleteCache;
    if (wantCache != (t->kind == TableKind::DeleteCache)) {
      fail(where + " names " + p.table + ", a table of the wrong kind");
    }
  }
}

void validateSlots(const Model& model) {
  const auto& slots = model.requestSlots();
  requireCount(slots.size(), Model::kSlotCount, "the request slots");
  for (size_t i = 0; i < slots.size(); ++i) {
    const RequestSlot& s = slots[i];
    if (s.slot != static_cast<int>(i))
      fail("request slot " + std::to_string(i) + " is out of order");
    const Table* t = model.findTable(s.table);
    if (!t) fail("request slot " + std::to_string(i) + " names unknown table " + s.table);
    requireColumn(*t, s.column, "request-slot column");
  }
}

}  // namespace

void validateModel(const Model& model) {
  std::set<std::string> constraintNames;
  for (const Table& t : model.tables()) validateTable(model, t, constraintNames);
  validateCacheList(model);
  validatePositions(model);
  validateSlots(model);
}

}  // namespace central
