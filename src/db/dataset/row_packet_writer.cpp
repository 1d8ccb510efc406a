#include "db/dataset/row_packet_writer.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "db/core/error.h"
#include "db/dataset/binary_packet_encoder.h"
#include "db/dataset/field_types.h"
#include "db/dataset/packet.h"
#include "db/dataset/table.h"

namespace db {

using namespace binary_packet;

namespace {

size_t flagBytes(size_t fields) { return (fields * 2 + 7) / 8; }

bool isNullFlag(std::string_view record, size_t field) {
  const auto flags = static_cast<uint8_t>(record[1 + field / 4]);
  return ((flags >> ((field % 4) * 2)) & 3) == kFlagNull;
}

uint64_t readLe(const char* p, size_t width) {
  uint64_t v = 0;
  for (size_t i = width; i-- > 0;) v = (v << 8) | static_cast<uint8_t>(p[i]);
  return v;
}

}  // namespace

RowPacketWriter::RowPacketWriter(std::vector<FieldDef> fields)
    : fields_(std::move(fields)),
      prefix_(fields_.size()),
      longest_(fields_.size(), 0),
      encoder_(std::make_unique<Encoder>()) {
  std::vector<Layout> layout(fields_.size());
  for (size_t f = 0; f < fields_.size(); ++f) {
    if (fields_[f].type == FieldType::Nested)
      throw PacketError("field " + fields_[f].name + ": a nested dataset is not written by rows");
    prefix_[f] = layout[f].prefix = prefixFor(fields_[f], 0);
  }
  rowCountAt_ = encoder_->header(fields_, {}, layout, 0);
  recordsAt_ = encoder_->out().size();
}

RowPacketWriter::~RowPacketWriter() = default;

void RowPacketWriter::appendRow() {
  skipTo(fields_.size());
  if (rows_ == std::numeric_limits<uint32_t>::max())
    throw Error(ErrorKind::General, "too many rows for one data packet");
  ByteWriter& w = encoder_->out();
  rowAt_ = w.size();
  w.u8(0);
  w.out().append(flagBytes(fields_.size()), '\0');
  nextField_ = 0;
  ++rows_;
}

void RowPacketWriter::set(size_t field, const Value& value) {
  if (rows_ == 0 || field < nextField_ || field >= fields_.size())
    throw Error(ErrorKind::General,
                "packet field " + std::to_string(field) + " set out of order or outside a row");
  skipTo(field);
  nextField_ = field + 1;
  if (value.isNull()) {
    markNull(field);
  } else if (value.kind() == Value::Kind::Text && prefix_[field] != 0) {
    writeValue(field, 0, value.getText());  // a text as it is, without a converted copy
  } else {
    const CellValue cell = convertCell(fields_[field], value);
    writeValue(field, cell.word, cell.bytes);
  }
}

void RowPacketWriter::skipTo(size_t field) {
  if (rows_ == 0) return;
  for (; nextField_ < field; ++nextField_) markNull(nextField_);
}

void RowPacketWriter::markNull(size_t field) {
  char& flags = encoder_->out().out()[rowAt_ + 1 + field / 4];
  flags = static_cast<char>(flags | (kFlagNull << ((field % 4) * 2)));
}

void RowPacketWriter::writeValue(size_t field, int64_t word, std::string_view bytes) {
  if (prefix_[field] != 0 && bytes.size() > longest_[field]) {
    longest_[field] = bytes.size();
    const uint16_t prefix = prefixFor(fields_[field], bytes.size());
    if (prefix > prefix_[field]) widen(field, prefix);
  }
  encoder_->value(fields_[field], prefix_[field], word, bytes);
}

std::string RowPacketWriter::finish() {
  skipTo(fields_.size());
  std::string& out = encoder_->out().out();
  const auto count = static_cast<uint32_t>(rows_);
  for (size_t i = 0; i < 4; ++i) out[rowCountAt_ + i] = static_cast<char>(count >> (8 * i));
  std::string packet = std::move(out);
  encoder_.reset();
  return packet;
}

// A value longer than its field's length prefix holds: the records written so far are written
// again with the wider prefix, as a table writer would have laid them out from the start. Rare:
// only texts past 255 bytes in a short field, or past 64 KiB, get here.
void RowPacketWriter::widen(size_t field, uint16_t prefix) {
  std::string& out = encoder_->out().out();
  std::string wider(out, 0, recordsAt_);
  wider.reserve(out.size() + rows_ * (prefix - prefix_[field]));
  const size_t at = encoder_->fieldSizeAt()[field];
  wider[at] = static_cast<char>(prefix & 0xFF);
  wider[at + 1] = static_cast<char>(prefix >> 8);
  size_t pos = recordsAt_;
  const size_t headBytes = 1 + flagBytes(fields_.size());
  while (pos < out.size()) {
    const std::string_view record(out.data() + pos, out.size() - pos);
    if (pos == rowAt_) rowAt_ = wider.size();
    wider.append(record.substr(0, headBytes));
    pos += headBytes;
    // The row being set ends at the first field not written yet.
    for (size_t f = 0; f < fields_.size() && pos < out.size(); ++f) {
      if (isNullFlag(record, f)) continue;
      const uint16_t width = prefix_[f];
      if (width == 0) {
        const size_t size = typeInfo(fields_[f].type).fixedSize;
        wider.append(out, pos, size);
        pos += size;
        continue;
      }
      const uint64_t length = readLe(out.data() + pos, width);
      const uint16_t to = f == field ? prefix : width;
      for (size_t i = 0; i < to; ++i)
        wider.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
      wider.append(out, pos + width, length);
      pos += width + length;
    }
  }
  out = std::move(wider);
  prefix_[field] = prefix;
}

}  // namespace db
