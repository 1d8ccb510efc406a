#include "schema/structure_package.h"

#include <stdexcept>

#include "db/core/text.h"
#include "db/dataset/dataset.h"

namespace schema {
namespace {

namespace fs = std::filesystem;

const db::FieldDef* findDef(const std::vector<db::FieldDef>& defs, std::string_view name) {
  for (const auto& def : defs)
    if (db::iequals(def.name, name)) return &def;
  return nullptr;
}

void requireFields(const std::vector<db::FieldDef>& defs, std::initializer_list<const char*> names,
                   const std::string& where) {
  for (const char* name : names)
    if (!findDef(defs, name)) throw std::runtime_error(where + " has no field " + name);
}

const db::FieldDef& requireNested(const std::vector<db::FieldDef>& defs, const char* name,
                                  const std::string& file) {
  const db::FieldDef* def = findDef(defs, name);
  if (!def || def->type != db::FieldType::Nested)
    throw std::runtime_error(file + " has no nested dataset " + name);
  return *def;
}

// A text field's value; nothing when the field is absent or null.
std::optional<std::string> optionalText(db::DataSet& ds, std::string_view name) {
  auto field = ds.findField(name);
  if (!field || field->isNull()) return std::nullopt;
  return field->asString();
}

std::vector<IndexColumnRow> readIndexRows(db::DataSet& rows, bool withDescend) {
  std::vector<IndexColumnRow> result;
  db::Field indexName = rows.fieldByName("INDEX_NAME");
  db::Field colName = rows.fieldByName("COL_NAME");
  std::optional<db::Field> descend;
  if (withDescend) descend = rows.fieldByName("DESCEND");
  for (rows.first(); !rows.eof(); rows.next())
    result.push_back(
        {indexName.asString(), colName.asString(), descend ? descend->asString() : std::string()});
  return result;
}

std::vector<PackageColumn> readColumns(db::DataSet& columns) {
  std::vector<PackageColumn> result;
  db::Field colName = columns.fieldByName("COL_NAME");
  db::Field fieldType = columns.fieldByName("FIELD_TYPE");
  for (columns.first(); !columns.eof(); columns.next())
    result.push_back({colName.asString(), fieldType.asString(), optionalText(columns, "NULLABLE"),
                      optionalText(columns, "COL_DEFAULT")});
  return result;
}

std::vector<PackageTable> readStructure(const fs::path& file, bool& hasOracleColumns) {
  db::DataSet structure("struct");
  structure.loadFromFile(file);
  const std::string name = file.filename().string();
  const auto& defs = structure.fieldDefs();
  requireFields(defs, {"TABLE_NAME"}, name);
  requireFields(requireNested(defs, "adqColunas", name).children, {"COL_NAME", "FIELD_TYPE"},
                name + " adqColunas");
  requireFields(requireNested(defs, "adqIndices", name).children,
                {"INDEX_NAME", "COL_NAME", "DESCEND"}, name + " adqIndices");
  requireFields(requireNested(defs, "adqPriKeys", name).children, {"INDEX_NAME", "COL_NAME"},
                name + " adqPriKeys");
  const db::FieldDef* oracle = findDef(defs, "adqColunasOracle");
  hasOracleColumns = oracle && oracle->type == db::FieldType::Nested;
  if (hasOracleColumns)
    requireFields(oracle->children, {"COL_NAME", "FIELD_TYPE"}, name + " adqColunasOracle");

  std::vector<PackageTable> tables;
  db::Field tableName = structure.fieldByName("TABLE_NAME");
  for (structure.first(); !structure.eof(); structure.next()) {
    PackageTable table{tableName.asString(), {}, {}, {}, {}};
    table.columns = readColumns(structure.nested("adqColunas"));
    if (hasOracleColumns) table.oracleColumns = readColumns(structure.nested("adqColunasOracle"));
    table.indexes = readIndexRows(structure.nested("adqIndices"), true);
    table.primaryKeys = readIndexRows(structure.nested("adqPriKeys"), false);
    tables.push_back(std::move(table));
  }
  return tables;
}

std::vector<ForeignKeyRow> readConstraints(const fs::path& file) {
  db::DataSet constraints("constraints");
  constraints.loadFromFile(file);
  requireFields(constraints.fieldDefs(),
                {"TABLE_NAME", "CONSTRAINT_NAME", "R_CONSTRAINT_NAME", "COL_NAME"},
                file.filename().string());
  db::Field table = constraints.fieldByName("TABLE_NAME");
  db::Field constraint = constraints.fieldByName("CONSTRAINT_NAME");
  db::Field references = constraints.fieldByName("R_CONSTRAINT_NAME");
  db::Field column = constraints.fieldByName("COL_NAME");
  std::vector<ForeignKeyRow> rows;
  for (constraints.first(); !constraints.eof(); constraints.next())
    rows.push_back(
        {table.asString(), constraint.asString(), references.asString(), column.asString()});
  return rows;
}

}  // namespace

StructurePackage loadStructurePackage(const fs::path& directory) {
  StructurePackage package;
  package.tables = readStructure(directory / kStructFile, package.hasOracleColumns);
  if (fs::exists(directory / kConstraintsFile))
    package.constraints = readConstraints(directory / kConstraintsFile);
  return package;
}

}  // namespace schema
