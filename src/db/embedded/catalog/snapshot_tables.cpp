#include "db/embedded/catalog/snapshot_tables.h"

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <optional>
#include <unordered_map>

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/catalog/schema_snapshot.h"

namespace db::embedded::catalog {
namespace {

// idxNum: the look-up column plus one (0 for a full scan), and this flag when the hidden schema
// argument (kivtab_vt_tables('OTHER')) is given; the schema comes first in argv.
constexpr int kSchemaArgument = 0x10000;
constexpr int kColumnMask = 0xFFFF;
constexpr std::string_view kMainSchema = "main";

// One snapshot per SQLite schema (the connection's own database and the attached ones).
using Snapshots = std::unordered_map<std::string, SchemaSnapshot>;

// What each registered name knows: its relation and the connection's shared snapshots.
struct ModuleData {
  RelationId relation;
  std::shared_ptr<Snapshots> snapshots;
};

struct Table {
  sqlite3_vtab base{};
  sqlite3* db = nullptr;
  ModuleData* data = nullptr;
};

struct Cursor {
  sqlite3_vtab_cursor base{};
  Table* table = nullptr;
  std::string schema;
  std::shared_ptr<const Relation> relation;
  std::optional<std::span<const Relation::KeyedRow>> subset;  // rows of a look-up; else all
  size_t position = 0;

  size_t size() const { return subset ? subset->size() : relation->rows.size(); }
  size_t row() const { return subset ? (*subset)[position].second : position; }
};

int fail(sqlite3_vtab* vtab, const char* message) {
  sqlite3_free(vtab->zErrMsg);
  vtab->zErrMsg = sqlite3_mprintf("%s", message);
  return SQLITE_ERROR;
}

int connect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
  auto* data = static_cast<ModuleData*>(aux);
  const Relation& shape = SchemaSnapshot::shape(data->relation);
  std::string schema = "CREATE TABLE x(";
  for (size_t i = 0; i < shape.columns.size(); ++i)
    schema += (i ? ", " : "") + std::string(shape.columns[i]);
  schema += ", kivtab_schema HIDDEN)";
  const int rc = sqlite3_declare_vtab(db, schema.c_str());
  if (rc != SQLITE_OK) return rc;
  auto* table = new Table;
  table->db = db;
  table->data = data;
  *out = &table->base;
  return SQLITE_OK;
}

int disconnect(sqlite3_vtab* vtab) {
  delete reinterpret_cast<Table*>(vtab);
  return SQLITE_OK;
}

bool isKeyColumn(const Relation& shape, int column) {
  for (size_t k : shape.keyColumns)
    if (static_cast<int>(k) == column) return true;
  return false;
}

int bestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  const Relation& shape = SchemaSnapshot::shape(reinterpret_cast<Table*>(vtab)->data->relation);
  const int schemaColumn = static_cast<int>(shape.columns.size());
  int schemaConstraint = -1, keyConstraint = -1;
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto& c = info->aConstraint[i];
    if (!c.usable || c.op != SQLITE_INDEX_CONSTRAINT_EQ) continue;
    if (c.iColumn == schemaColumn) schemaConstraint = i;
    if (keyConstraint < 0 && isKeyColumn(shape, c.iColumn)) keyConstraint = i;
  }
  info->idxNum = 0;
  int argument = 1;
  if (schemaConstraint >= 0) {
    info->aConstraintUsage[schemaConstraint].argvIndex = argument++;
    info->aConstraintUsage[schemaConstraint].omit = 1;
    info->idxNum |= kSchemaArgument;
  }
  info->estimatedCost = 1e7;
  info->estimatedRows = 1000000;
  if (keyConstraint >= 0) {
    // SQLite checks the constraint again on the rows handed back, so a look-up may return a
    // few more rows than match (texts are looked up without regard to case).
    info->aConstraintUsage[keyConstraint].argvIndex = argument;
    info->aConstraintUsage[keyConstraint].omit = 0;
    info->idxNum |= info->aConstraint[keyConstraint].iColumn + 1;
    info->estimatedCost = 1;
    info->estimatedRows = 10;
  }
  return SQLITE_OK;
}

int open(sqlite3_vtab* vtab, sqlite3_vtab_cursor** out) {
  auto* cursor = new Cursor;
  cursor->table = reinterpret_cast<Table*>(vtab);
  *out = &cursor->base;
  return SQLITE_OK;
}

int close(sqlite3_vtab_cursor* cursor) {
  delete reinterpret_cast<Cursor*>(cursor);
  return SQLITE_OK;
}

// The look-up key for an argument, in the form the relation stores: integers for INTEGER
// columns, texts otherwise. Nothing when no stored value can equal it.
std::optional<Cell> keyFor(sqlite3_value* value, bool integerColumn) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
      return integerColumn ? Cell(sqlite3_value_int64(value))
                           : Cell(std::to_string(sqlite3_value_int64(value)));
    case SQLITE_FLOAT: {
      const double d = sqlite3_value_double(value);
      if (!integerColumn || d != std::floor(d)) return std::nullopt;
      return Cell(static_cast<int64_t>(d));
    }
    case SQLITE_TEXT: {
      const std::string text(reinterpret_cast<const char*>(sqlite3_value_text(value)));
      if (!integerColumn) return Cell(text);
      int64_t n = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
      if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
      return Cell(n);
    }
    default:
      return std::nullopt;
  }
}

int filter(sqlite3_vtab_cursor* base, int idxNum, const char*, int argc, sqlite3_value** argv) {
  auto* cursor = reinterpret_cast<Cursor*>(base);
  Table* table = cursor->table;
  int next = 0;
  std::string schema(kMainSchema);
  if ((idxNum & kSchemaArgument) && next < argc) {
    const auto* text = sqlite3_value_text(argv[next++]);
    schema = text ? reinterpret_cast<const char*>(text) : "";
  }
  // A cursor inside a join is filtered once per outer row: the schema is read (and its
  // fingerprint taken) once per cursor and schema, not per row.
  if (!cursor->relation || schema != cursor->schema) {
    cursor->schema = std::move(schema);
    try {
      cursor->relation = (*table->data->snapshots)[upper(cursor->schema)].current(
          table->db, cursor->schema, table->data->relation);
    } catch (const std::exception& e) {
      cursor->relation.reset();
      return fail(&table->base, e.what());
    }
  }
  cursor->position = 0;
  cursor->subset.reset();
  const int keyColumn = (idxNum & kColumnMask) - 1;
  if (keyColumn < 0 || next >= argc) return SQLITE_OK;
  const std::string_view declared = cursor->relation->columns[static_cast<size_t>(keyColumn)];
  const auto key = keyFor(argv[next], declared.find("INTEGER") != std::string_view::npos);
  cursor->subset = key ? cursor->relation->find(static_cast<size_t>(keyColumn), *key)
                       : std::span<const Relation::KeyedRow>();
  return SQLITE_OK;
}

int next(sqlite3_vtab_cursor* base) {
  ++reinterpret_cast<Cursor*>(base)->position;
  return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor* base) {
  auto* cursor = reinterpret_cast<Cursor*>(base);
  return !cursor->relation || cursor->position >= cursor->size();
}

int column(sqlite3_vtab_cursor* base, sqlite3_context* ctx, int index) {
  auto* cursor = reinterpret_cast<Cursor*>(base);
  if (static_cast<size_t>(index) >= cursor->relation->columns.size()) {
    sqlite3_result_text(ctx, cursor->schema.data(), static_cast<int>(cursor->schema.size()),
                        SQLITE_TRANSIENT);
    return SQLITE_OK;
  }
  const Cell& cell = cursor->relation->rows[cursor->row()][static_cast<size_t>(index)];
  if (const auto* i = std::get_if<int64_t>(&cell)) {
    sqlite3_result_int64(ctx, *i);
  } else if (const auto* d = std::get_if<double>(&cell)) {
    sqlite3_result_double(ctx, *d);
  } else if (const auto* s = std::get_if<std::string>(&cell)) {
    sqlite3_result_text(ctx, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
  } else {
    sqlite3_result_null(ctx);
  }
  return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor* base, sqlite3_int64* out) {
  *out = static_cast<sqlite3_int64>(reinterpret_cast<Cursor*>(base)->row());
  return SQLITE_OK;
}

const sqlite3_module kModule = {0,       nullptr, connect, bestIndex, disconnect, nullptr,
                                open,    close,   filter,  next,      eof,        column,
                                rowid,   nullptr, nullptr, nullptr,   nullptr,    nullptr,
                                nullptr, nullptr, nullptr, nullptr,   nullptr,    nullptr};

void destroyData(void* p) { delete static_cast<ModuleData*>(p); }

}  // namespace

void registerSnapshotTables(sqlite3* db) {
  auto snapshots = std::make_shared<Snapshots>();
  for (size_t i = 0; i < static_cast<size_t>(RelationId::Count); ++i) {
    const auto id = static_cast<RelationId>(i);
    const std::string name(SchemaSnapshot::shape(id).name);
    auto* data = new ModuleData{id, snapshots};
    if (sqlite3_create_module_v2(db, name.c_str(), &kModule, data, destroyData) != SQLITE_OK)
      throw Error(ErrorKind::General, "Cannot register " + name + ": " + sqlite3_errmsg(db));
  }
}

}  // namespace db::embedded::catalog
