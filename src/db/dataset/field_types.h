#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "db/dataset/field_def.h"

namespace db {

// Type codes of binary packets: the low six bits name the kind, 0x40 marks a value with a
// length prefix (the descriptor's size is the prefix width), 0x80 an array.
namespace packet_type {
constexpr uint16_t kInt = 1;
constexpr uint16_t kUInt = 2;
constexpr uint16_t kBool = 3;
constexpr uint16_t kFloat = 4;
constexpr uint16_t kBcd = 5;
constexpr uint16_t kDate = 6;
constexpr uint16_t kTime = 7;
constexpr uint16_t kDateTime = 8;
constexpr uint16_t kAnsiString = 9;
constexpr uint16_t kWideString = 10;
constexpr uint16_t kBytes = 11;
constexpr uint16_t kNested = 14;
constexpr uint16_t kSqlDateTime = 16;
constexpr uint16_t kVarying = 0x40;
constexpr uint16_t kArray = 0x80;
constexpr uint16_t kKindMask = 0x3F;
}  // namespace packet_type

// How one field type is spelled in each packet format.
struct FieldTypeInfo {
  FieldType type;
  std::string_view xmlName;
  uint16_t binaryKind;  // packet_type code without the flags
  uint16_t fixedSize;   // bytes of a fixed-size value; 0 for length-prefixed values
};

const FieldTypeInfo& typeInfo(FieldType type);
// The type of an XML FIELD (fieldtype and SUBTYPE) or of a binary descriptor (code and size).
std::optional<FieldType> typeFromXml(std::string_view fieldType, std::string_view subtype);
std::optional<FieldType> typeFromBinary(uint16_t code, uint16_t size, std::string_view subtype);

}  // namespace db
