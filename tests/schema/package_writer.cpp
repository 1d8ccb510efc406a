#include "package_writer.h"

#include <zip.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "db/dataset/packet.h"
#include "db/dataset/table.h"

namespace schema_test {
namespace {

db::FieldDef text(const char* name) { return db::makeField(name, db::FieldType::String, 255); }

std::vector<db::FieldDef> without(std::vector<db::FieldDef> fields, const std::string& name) {
  std::erase_if(fields, [&](const db::FieldDef& f) { return f.name == name; });
  return fields;
}

std::vector<db::FieldDef> structFields(const std::string& leaveOut) {
  auto columns = without(
      {text("COL_NAME"), text("FIELD_TYPE"), text("NULLABLE"), text("COL_DEFAULT")}, leaveOut);
  return without({text("TABLE_NAME"), db::makeNestedField("adqColunas", columns),
                  db::makeNestedField("adqColunasOracle", columns),
                  db::makeNestedField(
                      "adqIndices",
                      without({text("INDEX_NAME"), text("COL_NAME"), text("DESCEND")}, leaveOut)),
                  db::makeNestedField("adqPriKeys",
                                      without({text("INDEX_NAME"), text("COL_NAME")}, leaveOut))},
                 leaveOut);
}

int fieldIndex(const db::Table& t, const std::string& name) {
  for (size_t i = 0; i < t.fields().size(); ++i)
    if (t.fields()[i].name == name) return static_cast<int>(i);
  return -1;
}

void setIf(db::Table& t, uint32_t slot, const std::string& name, const db::Value& value) {
  if (int i = fieldIndex(t, name); i >= 0) t.set(slot, i, value);
}

void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace

schema::PackageColumn column(std::string name, std::string type, std::string nullable,
                             std::optional<std::string> colDefault) {
  return {std::move(name), std::move(type), std::move(nullable), std::move(colDefault)};
}

schema::PackageTable table(std::string name, std::vector<schema::PackageColumn> columns,
                           std::vector<std::string> key,
                           std::vector<std::pair<std::string, std::vector<std::string>>> indexes) {
  schema::PackageTable t{name, std::move(columns), {}, {}, {}};
  std::string local = name.rfind("SA_", 0) == 0 ? name.substr(3) : name;
  for (const auto& k : key) {
    t.primaryKeys.push_back({"PK_" + local, k, ""});
    t.indexes.push_back({"PK_" + local, k, "ASC"});
  }
  for (const auto& [indexName, cols] : indexes)
    for (const auto& c : cols) t.indexes.push_back({indexName, c, "ASC"});
  return t;
}

void writeStructCds(const std::filesystem::path& file,
                    const std::vector<schema::PackageTable>& tables, const std::string& leaveOut) {
  db::Table structure(structFields(leaveOut));
  for (const auto& t : tables) {
    const uint32_t slot = structure.appendSlot();
    setIf(structure, slot, "TABLE_NAME", t.tableName);
    auto child = [&](const char* name) -> db::Table* {
      int i = fieldIndex(structure, name);
      return i < 0 ? nullptr : &structure.ensureChild(slot, i);
    };
    for (const auto& [name, list] :
         {std::pair{"adqColunas", &t.columns}, std::pair{"adqColunasOracle", &t.oracleColumns}})
      if (db::Table* columns = child(name))
        for (const auto& c : *list) {
          const uint32_t row = columns->appendSlot();
          setIf(*columns, row, "COL_NAME", c.name);
          setIf(*columns, row, "FIELD_TYPE", c.fieldType);
          if (c.nullable) setIf(*columns, row, "NULLABLE", *c.nullable);
          if (c.colDefault) setIf(*columns, row, "COL_DEFAULT", *c.colDefault);
        }
    if (db::Table* indexes = child("adqIndices"))
      for (const auto& r : t.indexes) {
        const uint32_t row = indexes->appendSlot();
        setIf(*indexes, row, "INDEX_NAME", r.indexName);
        setIf(*indexes, row, "COL_NAME", r.colName);
        setIf(*indexes, row, "DESCEND", r.descend);
      }
    if (db::Table* keys = child("adqPriKeys"))
      for (const auto& r : t.primaryKeys) {
        const uint32_t row = keys->appendSlot();
        setIf(*keys, row, "INDEX_NAME", r.indexName);
        setIf(*keys, row, "COL_NAME", r.colName);
      }
  }
  writeBytes(file, db::writeBinaryPacket(structure));
}

void writeConstraintsCds(const std::filesystem::path& file,
                         const std::vector<schema::ForeignKeyRow>& rows) {
  db::Table constraints(
      {text("TABLE_NAME"), text("CONSTRAINT_NAME"), text("R_CONSTRAINT_NAME"), text("COL_NAME")});
  for (const auto& r : rows) {
    const uint32_t slot = constraints.appendSlot();
    constraints.set(slot, 0, r.tableName);
    constraints.set(slot, 1, r.constraintName);
    constraints.set(slot, 2, r.referencesText);
    constraints.set(slot, 3, r.colName);
  }
  writeBytes(file, db::writeBinaryPacket(constraints));
}

void writeZip(const std::filesystem::path& archive,
              const std::vector<std::pair<std::string, std::string>>& members) {
  int error = 0;
  zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!zip) throw std::runtime_error("cannot create " + archive.string());
  for (const auto& [name, content] : members) {
    zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
    if (!source || zip_file_add(zip, name.c_str(), source, ZIP_FL_OVERWRITE) < 0) {
      zip_source_free(source);
      zip_discard(zip);
      throw std::runtime_error("cannot add " + name);
    }
  }
  if (zip_close(zip) != 0) throw std::runtime_error("cannot write " + archive.string());
}

std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

}  // namespace schema_test
