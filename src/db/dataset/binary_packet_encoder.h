#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/dataset/binary_packet_format.h"
#include "db/dataset/byte_io.h"
#include "db/dataset/field_def.h"

namespace db::binary_packet {

// The width of a field's length prefix for values of at most `longest` bytes as the dataset
// holds them: one byte where every value fits, as readers of short strings expect, wider where
// one does not; 0 for a fixed-size type.
uint16_t prefixFor(const FieldDef& def, size_t longest);

// Writes the parts of a binary packet that every writer writes alike: the header with the field
// and property descriptions, and the values of records.
class Encoder {
 public:
  ByteWriter& out() { return w_; }

  // Everything before the first record, announcing `rowCount` records. Returns where the count
  // lies, for a writer that learns it later.
  size_t header(const std::vector<FieldDef>& fields, const std::vector<PacketParam>& params,
                const std::vector<Layout>& layout, size_t rowCount);
  // Where the size word of each top-level field's description lies (the prefix width of a
  // varying one), in field order; filled by header().
  const std::vector<size_t>& fieldSizeAt() const { return fieldSizeAt_; }

  // One value of a field that is no nested dataset, as the dataset holds it: `word` for the
  // fixed-size types, `bytes` (UTF-8 for texts) for the others. Throws PacketError naming the
  // field when the value cannot be written.
  void value(const FieldDef& def, uint16_t prefix, int64_t word, std::string_view bytes);

 private:
  void writeName(std::string_view name);
  void writeIntParam(std::string_view name, int64_t value);
  void writeParam(const PacketParam& p);
  void writeFields(const std::vector<FieldDef>& defs, const std::vector<Layout>& layout,
                   bool topLevel);
  void writeParams(const std::vector<PacketParam>& params);
  void writeVarying(uint16_t prefix, std::string_view bytes);
  void writeSingleByte(uint16_t prefix, std::string_view utf8);

  ByteWriter w_;
  std::vector<size_t> fieldSizeAt_;
};

}  // namespace db::binary_packet
