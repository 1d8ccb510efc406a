#include "central/server/structure_package.h"

#include <fstream>

#include "central/server/zip_writer.h"
#include "db/core/text.h"
#include "db/dataset/packet.h"
#include "db/dataset/table.h"

namespace central::server {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kWorkTablePrefix = "SA_";
constexpr const char* kStructFile = "struct.cds";
constexpr const char* kConstraintsFile = "constraints.cds";
constexpr const char* kPackageFile = "struct.zip";

db::FieldDef text(const char* name, int width) {
  return db::makeField(name, db::FieldType::String, width);
}

std::vector<db::FieldDef> columnFields() {
  return {text("COL_NAME", 128), text("FIELD_TYPE", 64), text("NULLABLE", 8),
          text("COL_DEFAULT", 255)};
}

std::vector<db::FieldDef> structFields() {
  return {text("TABLE_NAME", 128), db::makeNestedField("adqColunas", columnFields()),
          db::makeNestedField("adqColunasOracle", columnFields()),
          db::makeNestedField("adqIndices",
                              {text("INDEX_NAME", 128), text("COL_NAME", 128), text("DESCEND", 4)}),
          db::makeNestedField("adqPriKeys", {text("INDEX_NAME", 128), text("COL_NAME", 128)})};
}

std::vector<db::FieldDef> constraintFields() {
  return {text("TABLE_NAME", 128), text("CONSTRAINT_NAME", 128), text("R_CONSTRAINT_NAME", 255),
          text("COL_NAME", 128)};
}

void addRow(db::Table& table, const std::vector<std::string>& values) {
  uint32_t slot = table.appendSlot();
  for (size_t i = 0; i < values.size(); ++i) table.set(slot, i, values[i]);
}

void addTable(db::Table& structure, const std::string& rowName, const central::Table& table) {
  uint32_t slot = structure.appendSlot();
  structure.set(slot, 0, rowName);
  db::Table& columns = structure.ensureChild(slot, 1);
  db::Table& oracle = structure.ensureChild(slot, 2);
  for (const auto& c : table.columns) {
    const std::string nullable = c.nullable ? "NULL" : "NOT NULL";
    const std::string def = c.defaultValue.value_or("");
    addRow(columns, {c.name, db::upper(c.type), nullable, def});
    addRow(oracle, {c.name, oracleType(c.type), nullable, oracleDefault(def)});
  }
  db::Table& indexes = structure.ensureChild(slot, 3);
  db::Table& keys = structure.ensureChild(slot, 4);
  if (table.primaryKey) {
    for (const auto& k : table.primaryKey->columns) {
      addRow(indexes, {table.primaryKey->name, k, "ASC"});
      addRow(keys, {table.primaryKey->name, k});
    }
  }
  for (const auto& index : table.indexes)
    for (const auto& c : index.columns)
      addRow(indexes, {index.name, c.name, c.descending ? "DESC" : "ASC"});
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

std::vector<TableListEntry> parseTableList(std::string_view text) {
  std::vector<TableListEntry> entries;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    line = db::trim(line);
    if (!line.empty()) {
      auto eq = line.find('=');
      TableListEntry entry{db::upper(db::trim(line.substr(0, eq))), 'N'};
      if (eq != std::string_view::npos) {
        auto flag = db::trim(line.substr(eq + 1));
        if (!flag.empty() && (flag[0] == 'S' || flag[0] == 's')) entry.flag = 'S';
      }
      if (!entry.table.empty()) entries.push_back(std::move(entry));
    }
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return entries;
}

std::vector<std::string> structureRows(const central::Model& model,
                                       const std::vector<TableListEntry>& cacheList,
                                       const std::vector<TableListEntry>& saList) {
  std::vector<std::string> rows;
  for (const auto& entry : cacheList)
    if (model.findTable(entry.table)) rows.push_back(model.findTable(entry.table)->name);
  for (const auto& entry : saList) {
    if (entry.flag != 'S' || entry.table.rfind(kWorkTablePrefix, 0) != 0) continue;
    if (const auto* table = model.findTable(entry.table.substr(kWorkTablePrefix.size())))
      rows.push_back(std::string(kWorkTablePrefix) + table->name);
  }
  return rows;
}

fs::path buildStructurePackage(const central::Model& model, const std::vector<std::string>& rows,
                               const fs::path& directory) {
  db::Table structure(structFields());
  for (const auto& row : rows) {
    std::string_view name = row;
    if (name.rfind(kWorkTablePrefix, 0) == 0) name.remove_prefix(kWorkTablePrefix.size());
    addTable(structure, row, model.table(name));
  }
  // The model declares no foreign keys; the file is still sent, with its fields and no rows.
  db::Table constraints(constraintFields());

  const fs::path structFile = directory / kStructFile;
  const fs::path constraintsFile = directory / kConstraintsFile;
  writeFile(structFile, db::writeBinaryPacket(structure));
  writeFile(constraintsFile, db::writeBinaryPacket(constraints));
  const fs::path package = directory / kPackageFile;
  writeZip(package, {{kStructFile, structFile}, {kConstraintsFile, constraintsFile}});
  fs::remove(structFile);
  fs::remove(constraintsFile);
  return package;
}

std::string oracleType(std::string_view sqlServerType) {
  const std::string type = db::upper(sqlServerType);
  const std::string base = type.substr(0, type.find('('));
  const std::string args = type.find('(') == std::string::npos ? "" : type.substr(type.find('('));
  if (base == "VARCHAR" || base == "NVARCHAR" || base == "CHAR")
    return args.find("MAX") != std::string::npos ? "CLOB" : "VARCHAR2" + args;
  if (base == "DECIMAL" || base == "NUMERIC") return "NUMBER" + args;
  if (base == "DATETIME" || base == "SMALLDATETIME") return "DATE";
  if (base == "INT" || base == "INTEGER") return "NUMBER(10)";
  if (base == "SMALLINT" || base == "TINYINT") return "NUMBER(5)";
  if (base == "BIGINT") return "NUMBER(19)";
  if (base == "IMAGE" || base == "VARBINARY") return "BLOB";
  return type;
}

std::string oracleDefault(std::string_view sqlServerDefault) {
  std::string def(sqlServerDefault);
  if (db::upper(def).find("GETDATE") != std::string::npos) return "SYSDATE";
  return def;
}

}  // namespace central::server
