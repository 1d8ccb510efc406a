// The preupdate hook is compiled into the SQLite this engine links; its declarations are
// guarded by this macro.
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#include "db/embedded/procedural/changed_rows.h"

#include <sqlite3.h>

#include "db/core/error.h"
#include "db/core/text.h"

namespace db::embedded::procedural {
namespace {

// Each triggered table gets an eponymous virtual table per side: it needs no CREATE, so
// nothing of it is undone by a rollback, and it reads the innermost captured rows in place.
struct Side {
  ChangeStack* stack;
  std::string table;
  bool inserted;
  std::string schema;  // the CREATE TABLE SQLite is told the virtual table has
};

struct SideTable {
  sqlite3_vtab base{};
  Side* side = nullptr;
};

struct SideCursor {
  sqlite3_vtab_cursor base{};
  const std::vector<std::vector<Value>>* rows = nullptr;
  size_t at = 0;
};

int connect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
  auto* side = static_cast<Side*>(aux);
  const int rc = sqlite3_declare_vtab(db, side->schema.c_str());
  if (rc != SQLITE_OK) return rc;
  auto* table = new SideTable;
  table->side = side;
  *out = &table->base;
  return SQLITE_OK;
}

int bestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
  info->estimatedCost = 10;
  info->estimatedRows = 10;
  return SQLITE_OK;
}

int disconnect(sqlite3_vtab* table) {
  delete reinterpret_cast<SideTable*>(table);
  return SQLITE_OK;
}

int open(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  *out = &(new SideCursor)->base;
  return SQLITE_OK;
}

int close(sqlite3_vtab_cursor* cursor) {
  delete reinterpret_cast<SideCursor*>(cursor);
  return SQLITE_OK;
}

int filter(sqlite3_vtab_cursor* cursor, int, const char*, int, sqlite3_value**) {
  auto* c = reinterpret_cast<SideCursor*>(cursor);
  const Side* side = reinterpret_cast<SideTable*>(cursor->pVtab)->side;
  const ChangedRows* rows = side->stack->innermost(side->table);
  c->rows = rows ? (side->inserted ? &rows->inserted : &rows->deleted) : nullptr;
  c->at = 0;
  return SQLITE_OK;
}

int next(sqlite3_vtab_cursor* cursor) {
  ++reinterpret_cast<SideCursor*>(cursor)->at;
  return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor* cursor) {
  auto* c = reinterpret_cast<SideCursor*>(cursor);
  return !c->rows || c->at >= c->rows->size();
}

int column(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int index) {
  auto* c = reinterpret_cast<SideCursor*>(cursor);
  const auto& row = (*c->rows)[c->at];
  if (index < 0 || static_cast<size_t>(index) >= row.size()) {
    sqlite3_result_null(context);
    return SQLITE_OK;
  }
  const Value& v = row[static_cast<size_t>(index)];
  switch (v.kind()) {
    case Value::Kind::Int:
      sqlite3_result_int64(context, v.getInt());
      break;
    case Value::Kind::Double:
      sqlite3_result_double(context, v.getDouble());
      break;
    case Value::Kind::Text:
      sqlite3_result_text(context, v.getText().data(), static_cast<int>(v.getText().size()),
                          SQLITE_TRANSIENT);
      break;
    case Value::Kind::Bytes:
      sqlite3_result_blob(context, v.getBytes().data(), static_cast<int>(v.getBytes().size()),
                          SQLITE_TRANSIENT);
      break;
    default:
      sqlite3_result_null(context);
  }
  return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* out) {
  *out = static_cast<sqlite3_int64>(reinterpret_cast<SideCursor*>(cursor)->at) + 1;
  return SQLITE_OK;
}

const sqlite3_module& sideModule() {
  static const sqlite3_module module = [] {
    sqlite3_module m{};
    m.xConnect = connect;
    m.xBestIndex = bestIndex;
    m.xDisconnect = disconnect;
    m.xDestroy = disconnect;
    m.xOpen = open;
    m.xClose = close;
    m.xFilter = filter;
    m.xNext = next;
    m.xEof = eof;
    m.xColumn = column;
    m.xRowid = rowid;
    return m;
  }();
  return module;
}

Value valueOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      return static_cast<int64_t>(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
      return sqlite3_value_double(v);
    case SQLITE_TEXT:
      return std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                         static_cast<size_t>(sqlite3_value_bytes(v)));
    case SQLITE_BLOB: {
      const auto* data = static_cast<const uint8_t*>(sqlite3_value_blob(v));
      return Bytes(data, data + sqlite3_value_bytes(v));
    }
    default:
      return Value();
  }
}

}  // namespace

ChangeStack::~ChangeStack() {
  if (depth_ > 0) sqlite3_preupdate_hook(db_, nullptr, nullptr);
}

ChangedRows& ChangeStack::push(const std::string& table) {
  if (depth_ == 0) sqlite3_preupdate_hook(db_, &ChangeStack::onPreupdate, this);
  // Frames are kept for the next statement at this depth: a loop of INSERTs allocates nothing.
  if (depth_ == frames_.size()) frames_.push_back(std::make_unique<ChangedRows>());
  ChangedRows& frame = *frames_[depth_++];
  frame.table = table;
  frame.capturing = true;
  frame.inserted.clear();
  frame.deleted.clear();
  return frame;
}

void ChangeStack::stopCapturing() { frames_[depth_ - 1]->capturing = false; }

void ChangeStack::pop() {
  if (--depth_ == 0) sqlite3_preupdate_hook(db_, nullptr, nullptr);
}

const ChangedRows* ChangeStack::innermost(const std::string& table) const {
  for (size_t i = depth_; i-- > 0;)
    if (!frames_[i]->capturing && frames_[i]->table == table) return frames_[i].get();
  return nullptr;
}

void ChangeStack::onPreupdate(void* self, sqlite3*, int op, const char*, const char* table,
                              long long, long long) {
  static_cast<ChangeStack*>(self)->capture(op, table);
}

void ChangeStack::capture(int op, const char* table) {
  ChangedRows& frame = *frames_[depth_ - 1];
  // Only the statement itself counts: not rows its foreign keys cascade into other tables.
  if (!frame.capturing || !iequals(frame.table, table)) return;
  const int count = sqlite3_preupdate_count(db_);
  auto read = [&](auto get) {
    std::vector<Value> row;
    row.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      sqlite3_value* v = nullptr;
      row.push_back(get(db_, i, &v) == SQLITE_OK && v ? valueOf(v) : Value());
    }
    return row;
  };
  if (op == SQLITE_DELETE || op == SQLITE_UPDATE)
    frame.deleted.push_back(read(sqlite3_preupdate_old));
  if (op == SQLITE_INSERT || op == SQLITE_UPDATE)
    frame.inserted.push_back(read(sqlite3_preupdate_new));
}

std::string ChangeStack::expose(const std::string& table, const std::string& columns) {
  const std::string key = upper(table);
  Exposed& exposed = exposed_[key];
  if (!exposed.name.empty() && exposed.columns == columns) return exposed.name;
  const std::string name =
      exposed.name.empty() ? key : key + "_" + std::to_string(++exposed.version);
  for (bool inserted : {true, false}) {
    const std::string module = inserted ? insertedName(name) : deletedName(name);
    auto* side = new Side{this, key, inserted, "CREATE TABLE x(" + columns + ")"};
    const int rc = sqlite3_create_module_v2(db_, module.c_str(), &sideModule(), side,
                                            [](void* p) { delete static_cast<Side*>(p); });
    if (rc != SQLITE_OK)
      throw Error(ErrorKind::General,
                  "Cannot expose the rows changed in " + table + ": " + sqlite3_errmsg(db_));
  }
  exposed.columns = columns;
  exposed.name = name;
  return name;
}

}  // namespace db::embedded::procedural
