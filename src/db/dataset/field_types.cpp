#include "db/dataset/field_types.h"

#include <array>

namespace db {
namespace {

namespace pt = packet_type;

constexpr std::array<FieldTypeInfo, 20> kTypes{{
    {FieldType::String, "string", pt::kAnsiString, 0},
    {FieldType::FixedString, "string", pt::kAnsiString, 0},
    {FieldType::WideString, "string.uni", pt::kWideString, 0},
    {FieldType::Int8, "i1", pt::kInt, 1},
    {FieldType::Int16, "i2", pt::kInt, 2},
    {FieldType::Int32, "i4", pt::kInt, 4},
    {FieldType::Int64, "i8", pt::kInt, 8},
    {FieldType::UInt8, "ui1", pt::kUInt, 1},
    {FieldType::UInt16, "ui2", pt::kUInt, 2},
    {FieldType::UInt32, "ui4", pt::kUInt, 4},
    {FieldType::UInt64, "ui8", pt::kUInt, 8},
    {FieldType::Float, "r8", pt::kFloat, 8},
    {FieldType::Bcd, "fixed", pt::kBcd, 34},
    {FieldType::Boolean, "boolean", pt::kBool, 2},
    {FieldType::Date, "date", pt::kDate, 4},
    {FieldType::Time, "time", pt::kTime, 4},
    {FieldType::DateTime, "dateTime", pt::kDateTime, 8},
    {FieldType::SqlDateTime, "SQLdateTime", pt::kSqlDateTime, 16},
    {FieldType::Blob, "bin.hex", pt::kBytes, 0},
    {FieldType::Nested, "nested", pt::kNested, 0},
}};

}  // namespace

const FieldTypeInfo& typeInfo(FieldType type) {
  for (const FieldTypeInfo& info : kTypes) {
    if (info.type == type) return info;
  }
  return kTypes[0];
}

std::optional<FieldType> typeFromXml(std::string_view fieldType, std::string_view subtype) {
  if (fieldType == "string" && subtype == "FixedChar") return FieldType::FixedString;
  if (fieldType == "fixedFMT") return FieldType::Bcd;
  for (const FieldTypeInfo& info : kTypes) {
    if (info.xmlName == fieldType && info.type != FieldType::FixedString) return info.type;
  }
  return std::nullopt;
}

std::optional<FieldType> typeFromBinary(uint16_t code, uint16_t size, std::string_view subtype) {
  const uint16_t kind = code & pt::kKindMask;
  const bool varying = (code & pt::kVarying) != 0;
  if (code & pt::kArray) return std::nullopt;
  switch (kind) {
    case pt::kAnsiString:
      if (!varying) return std::nullopt;
      return subtype == "FixedChar" ? FieldType::FixedString : FieldType::String;
    case pt::kWideString:
      return varying ? std::optional(FieldType::WideString) : std::nullopt;
    case pt::kBytes:
      return varying ? std::optional(FieldType::Blob) : std::nullopt;
    case pt::kNested:
      return FieldType::Nested;
    default:
      break;
  }
  if (varying) return std::nullopt;
  for (const FieldTypeInfo& info : kTypes) {
    if (info.binaryKind == kind && info.fixedSize == size) return info.type;
  }
  return std::nullopt;
}

}  // namespace db
