#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/value.h"

namespace db {

// The value types a dataset field can hold. The packet formats name them differently; the type
// table (field_types.h) maps between them.
enum class FieldType {
  String,       // single-byte text (code page 1252 in binary packets), WIDTH characters
  FixedString,  // the same, blank-padded by convention (SUBTYPE FixedChar)
  WideString,   // UTF-16 text in binary packets
  Int8,
  Int16,
  Int32,
  Int64,
  UInt8,
  UInt16,
  UInt32,
  UInt64,
  Float,  // r8; SUBTYPE Money marks currency, kept in `subtype`
  Bcd,    // fixed-point decimal, held as exact decimal text ("-12.340")
  Boolean,
  Date,
  Time,
  DateTime,
  SqlDateTime,
  Blob,    // SUBTYPE Text / WideText reads as text, any other as bytes
  Nested,  // rows of a child dataset per parent row
};

// A packet property (dataset parameter or extra field property), kept so that a round trip
// through either format gives it back. Numbers and number lists travel as integers.
struct PacketParam {
  enum class Kind { Int, UInt, Bool, Text, IntList, Raw };
  std::string name;
  Kind kind = Kind::Text;
  int byteSize = 4;           // width of the number (or of each list element) in binary
  std::vector<int64_t> ints;  // Int/UInt/Bool: one element; IntList: all of them
  std::string text;           // Text; Raw: the bytes as found
  uint16_t rawType = 0;       // Raw: the binary type code, for a property of a type not known here

  bool operator==(const PacketParam&) const = default;
};

// Field attribute bits of the binary packet; the XML packet spells them as attributes.
namespace field_attr {
constexpr uint16_t kHidden = 0x01;
constexpr uint16_t kReadOnly = 0x02;
constexpr uint16_t kRequired = 0x04;
constexpr uint16_t kLink = 0x08;
}  // namespace field_attr

struct FieldDef {
  std::string name;
  FieldType type = FieldType::String;
  int size = 0;             // WIDTH: characters of a string, precision of a BCD, blob hint
  int decimals = 0;         // DECIMALS of a BCD
  uint16_t attributes = 0;  // field_attr bits
  std::string subtype;      // SUBTYPE as written (Money, Text, Graphics, Autoinc, FixedChar ...)
  std::vector<PacketParam> extraProps;  // other field properties, kept for the round trip
  std::vector<FieldDef> children;       // fields of a Nested field's child rows

  bool required() const { return (attributes & field_attr::kRequired) != 0; }
  bool operator==(const FieldDef&) const = default;
};

// Builders for the common cases, so callers can write {fieldString("CDFILIAL", 4), ...}.
FieldDef makeField(std::string name, FieldType type, int size = 0, bool required = false);
FieldDef makeNestedField(std::string name, std::vector<FieldDef> children);

std::string_view fieldTypeName(FieldType type);

}  // namespace db
