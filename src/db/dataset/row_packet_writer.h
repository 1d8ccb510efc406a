#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "db/core/value.h"
#include "db/dataset/field_def.h"

namespace db {

namespace binary_packet {
class Encoder;
}

// Writes a binary data packet row by row straight into its bytes, for a writer that has its
// rows once and in order (a query's), without holding them in a table first. The packet is the
// one writeBinaryPacket gives for a table of the same fields and rows. Nested fields are not
// taken.
class RowPacketWriter {
 public:
  explicit RowPacketWriter(std::vector<FieldDef> fields);
  ~RowPacketWriter();
  RowPacketWriter(const RowPacketWriter&) = delete;
  RowPacketWriter& operator=(const RowPacketWriter&) = delete;

  // Starts a row; its fields are null until set.
  void appendRow();
  // A field of the row last appended, converted as Table::set converts it; fields are set in
  // field order, each at most once, and a null value leaves the field null. Raises db::Error
  // (Conversion) naming the field when the value does not fit.
  void set(size_t field, const Value& value);
  // The packet; the writer holds nothing afterwards.
  std::string finish();

 private:
  void skipTo(size_t field);  // the fields of the row passed over stay null
  void markNull(size_t field);
  void writeValue(size_t field, int64_t word, std::string_view bytes);
  void widen(size_t field, uint16_t prefix);

  std::vector<FieldDef> fields_;
  std::vector<uint16_t> prefix_;  // length prefix width of each field as written so far
  std::vector<size_t> longest_;   // longest value of each varying field, as the dataset holds it
  std::unique_ptr<binary_packet::Encoder> encoder_;
  size_t rowCountAt_ = 0;
  size_t recordsAt_ = 0;
  size_t rowAt_ = 0;  // where the last appended row's record begins
  size_t nextField_ = 0;
  size_t rows_ = 0;
};

}  // namespace db
