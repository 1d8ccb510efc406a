#include "db/dataset/field_def.h"

#include "db/dataset/field_types.h"

namespace db {

FieldDef makeField(std::string name, FieldType type, int size, bool required) {
  FieldDef def;
  def.name = std::move(name);
  def.type = type;
  def.size = size;
  if (required) def.attributes |= field_attr::kRequired;
  if (type == FieldType::FixedString) def.subtype = "FixedChar";
  return def;
}

FieldDef makeNestedField(std::string name, std::vector<FieldDef> children) {
  FieldDef def;
  def.name = std::move(name);
  def.type = FieldType::Nested;
  def.children = std::move(children);
  return def;
}

std::string_view fieldTypeName(FieldType type) {
  if (type == FieldType::FixedString) return "fixedstring";
  return typeInfo(type).xmlName;
}

}  // namespace db
