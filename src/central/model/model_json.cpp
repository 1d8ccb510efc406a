#include <nlohmann/json.hpp>

#include "central/model/model.h"

namespace central {
namespace {

using Json = nlohmann::json;

// Field access with errors that say where in the model the problem is.
class Reader {
 public:
  explicit Reader(std::string origin) : origin_(std::move(origin)) {}

  [[noreturn]] void fail(const std::string& where, const std::string& what) const {
    throw ModelError(origin_ + ": " + where + ": " + what);
  }

  const Json& member(const Json& object, const char* key, const std::string& where) const {
    if (!object.is_object()) fail(where, "expected an object");
    auto it = object.find(key);
    if (it == object.end()) fail(where, std::string("missing \"") + key + "\"");
    return *it;
  }

  std::string text(const Json& object, const char* key, const std::string& where) const {
    const Json& v = member(object, key, where);
    if (!v.is_string()) fail(where, std::string("\"") + key + "\" must be a text");
    return v.get<std::string>();
  }

  std::string optionalText(const Json& object, const char* key, const std::string& where) const {
    if (!object.contains(key)) return {};
    return text(object, key, where);
  }

  int integer(const Json& object, const char* key, const std::string& where) const {
    const Json& v = member(object, key, where);
    if (!v.is_number_integer()) fail(where, std::string("\"") + key + "\" must be an integer");
    return v.get<int>();
  }

  bool flag(const Json& object, const char* key, bool fallback, const std::string& where) const {
    if (!object.contains(key)) return fallback;
    const Json& v = object.at(key);
    if (!v.is_boolean()) fail(where, std::string("\"") + key + "\" must be true or false");
    return v.get<bool>();
  }

  const Json& array(const Json& object, const char* key, const std::string& where) const {
    const Json& v = member(object, key, where);
    if (!v.is_array()) fail(where, std::string("\"") + key + "\" must be an array");
    return v;
  }

  std::vector<std::string> texts(const Json& object, const char* key,
                                 const std::string& where) const {
    std::vector<std::string> out;
    for (const Json& v : array(object, key, where)) {
      if (!v.is_string()) fail(where, std::string("\"") + key + "\" must hold texts");
      out.push_back(v.get<std::string>());
    }
    return out;
  }

 private:
  std::string origin_;
};

Column readColumn(const Reader& r, const Json& j, const std::string& where) {
  Column c;
  c.name = r.text(j, "name", where);
  c.type = r.text(j, "type", where + " column " + c.name);
  c.nullable = r.flag(j, "nullable", true, where + " column " + c.name);
  if (j.contains("default")) c.defaultValue = r.text(j, "default", where + " column " + c.name);
  return c;
}

Index readIndex(const Reader& r, const Json& j, const std::string& where) {
  Index index;
  index.name = r.text(j, "name", where);
  for (const Json& c : r.array(j, "columns", where + " index " + index.name)) {
    index.columns.push_back({r.text(c, "name", where + " index " + index.name),
                             r.flag(c, "descending", false, where + " index " + index.name)});
  }
  return index;
}

TableKind readTableKind(const Reader& r, const Json& j, const std::string& where) {
  const std::string kind = r.optionalText(j, "kind", where);
  if (kind.empty() || kind == "data") return TableKind::Data;
  if (kind == "deleteCache") return TableKind::DeleteCache;
  r.fail(where, "unknown table kind \"" + kind + "\"");
}

Table readTable(const Reader& r, const Json& j, size_t index) {
  std::string where = "table #" + std::to_string(index);
  Table t;
  t.name = r.text(j, "name", where);
  where = "table " + t.name;
  t.kind = readTableKind(r, j, where);
  for (const Json& c : r.array(j, "columns", where)) t.columns.push_back(readColumn(r, c, where));
  if (j.contains("primaryKey")) {
    const Json& pk = j.at("primaryKey");
    t.primaryKey = PrimaryKey{r.text(pk, "name", where + " primary key"),
                              r.texts(pk, "columns", where + " primary key")};
  }
  if (j.contains("indexes")) {
    for (const Json& i : r.array(j, "indexes", where)) t.indexes.push_back(readIndex(r, i, where));
  }
  t.branchColumn = r.optionalText(j, "branchColumn", where);
  t.registerColumn = r.optionalText(j, "registerColumn", where);
  t.updateColumn = r.optionalText(j, "updateColumn", where);
  t.inCacheList = r.flag(j, "inCacheList", false, where);
  if (t.kind == TableKind::DeleteCache) {
    t.deleteCacheOf =
        DeleteCacheOf{r.text(j, "deleteCacheOf", where), r.texts(j, "keyColumns", where),
                      r.text(j, "comparedColumn", where)};
  }
  return t;
}

PositionKind readPositionKind(const Reader& r, const std::string& kind, const std::string& where) {
  static const std::pair<const char*, PositionKind> kKinds[] = {
      {"table", PositionKind::Table},   {"deleteCache", PositionKind::DeleteCache},
      {"sales", PositionKind::Sales},   {"salesReturnText", PositionKind::SalesReturnText},
      {"unused", PositionKind::Unused},
  };
  for (const auto& [name, value] : kKinds) {
    if (kind == name) return value;
  }
  r.fail(where, "unknown position kind \"" + kind + "\"");
}

Position readPosition(const Reader& r, const Json& j, size_t index) {
  const std::string where = "position entry #" + std::to_string(index);
  Position p;
  p.index = r.integer(j, "position", where);
  p.kind = readPositionKind(r, r.text(j, "kind", where), where);
  p.name = r.optionalText(j, "name", where);
  p.dataset = r.optionalText(j, "dataset", where);
  p.table = r.optionalText(j, "table", where);
  return p;
}

CacheListEntry readCacheEntry(const Reader& r, const Json& j, size_t index) {
  const std::string where = "cache list entry #" + std::to_string(index);
  CacheListEntry e;
  e.table = r.text(j, "table", where);
  const std::string flag = r.text(j, "flag", where);
  if (flag != "S" && flag != "N") r.fail(where, "flag must be \"S\" or \"N\"");
  e.flag = flag[0];
  return e;
}

}  // namespace

Model parseModel(std::string_view jsonText, std::string_view origin) {
  const Reader r{std::string(origin)};
  Json root;
  try {
    root = Json::parse(jsonText);
  } catch (const Json::parse_error& e) {
    r.fail("text", e.what());
  }
  if (r.text(root, "format", "root") != "kivtab-central-model") {
    r.fail("root", "not a central model file");
  }
  std::vector<Table> tables;
  const Json& jt = r.array(root, "tables", "root");
  for (size_t i = 0; i < jt.size(); ++i) tables.push_back(readTable(r, jt[i], i));
  std::vector<CacheListEntry> cacheList;
  const Json& jc = r.array(root, "cacheTableList", "root");
  for (size_t i = 0; i < jc.size(); ++i) cacheList.push_back(readCacheEntry(r, jc[i], i));
  std::vector<Position> positions;
  const Json& jp = r.array(root, "positions", "root");
  for (size_t i = 0; i < jp.size(); ++i) positions.push_back(readPosition(r, jp[i], i));
  std::vector<RequestSlot> slots;
  const Json& js = r.array(root, "requestSlots", "root");
  for (size_t i = 0; i < js.size(); ++i) {
    const std::string where = "request slot entry #" + std::to_string(i);
    slots.push_back({r.integer(js[i], "slot", where), r.text(js[i], "table", where),
                     r.text(js[i], "column", where)});
  }
  Model model;
  try {
    model = Model(std::move(tables), std::move(cacheList), std::move(positions), std::move(slots));
  } catch (const ModelError& e) {
    r.fail("tables", e.what());
  }
  try {
    validateModel(model);
  } catch (const ModelError& e) {
    r.fail("validation", e.what());
  }
  return model;
}

}  // namespace central
