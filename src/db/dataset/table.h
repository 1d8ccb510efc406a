#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/value.h"
#include "db/dataset/field_def.h"

namespace db {

class Table;

// A value converted to a field's storage, before it is stored in a slot.
struct CellValue {
  bool null = true;
  int64_t word = 0;
  std::string bytes;
};

// `value` converted to the storage of a field of `def`'s type; raises db::Error (Conversion)
// naming the field when the value does not fit.
CellValue convertCell(const FieldDef& def, const Value& value);

// One field's cells for every storage slot. Fixed-size values live in one 64-bit word per cell
// (integers, booleans, date-times as milliseconds, doubles by bit pattern); texts, decimals and
// blobs live in the table's byte heap addressed by (offset, length). Memory stays close to the
// packet's own size instead of one heap object per cell.
class ColumnStore {
 public:
  enum class Storage { Word, Heap, Nested };

  ColumnStore(const FieldDef& def, std::vector<char>* heap);

  Storage storage() const { return storage_; }
  FieldType type() const { return type_; }
  bool textual() const { return textual_; }

  void reserve(size_t cells);
  void shrink();
  void appendNull();
  void appendNulls(size_t count);
  void clear();

  bool isNull(uint32_t slot) const { return nulls_[slot] != 0; }
  int64_t word(uint32_t slot) const { return words_[slot]; }
  double real(uint32_t slot) const;
  std::string_view bytes(uint32_t slot) const;
  Table* child(uint32_t slot) const { return children_[slot].get(); }

  void setNull(uint32_t slot);
  void setWord(uint32_t slot, int64_t value);
  void setReal(uint32_t slot, double value);
  void setBytes(uint32_t slot, std::string_view value);
  void setChild(uint32_t slot, std::unique_ptr<Table> table);
  Table& ensureChild(uint32_t slot, const FieldDef& def);
  // Copies the cell at `from` of `source` (a column of the same field, or this one) into `slot`;
  // a null cell leaves `slot` as it is.
  void copyCell(uint32_t slot, const ColumnStore& source, uint32_t from);

  size_t memoryUsed() const;

 private:
  Storage storage_;
  FieldType type_;
  bool textual_;  // heap bytes are UTF-8 text rather than raw bytes
  std::vector<uint8_t> nulls_;
  std::vector<int64_t> words_;     // Word: the value; Heap: offset into heap_
  std::vector<uint32_t> lengths_;  // Heap only
  std::vector<char>* heap_;        // the table's, shared by its columns
  std::vector<std::unique_ptr<Table>> children_;
};

// The rows of one dataset (or of one parent row's nested dataset). Rows live in storage slots;
// `order` lists the live slots in presentation order, so insert and delete move 4-byte slot
// numbers rather than row data.
class Table {
 public:
  explicit Table(std::vector<FieldDef> fields = {});
  // Columns point at the table's heap, so a table stays where it was made.
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  const std::vector<FieldDef>& fields() const { return fields_; }
  std::vector<PacketParam>& params() { return params_; }
  const std::vector<PacketParam>& params() const { return params_; }

  size_t rowCount() const { return order_.size(); }
  const std::vector<uint32_t>& order() const { return order_; }

  // A fresh slot with every field null, placed at presentation position `row`.
  uint32_t insertSlot(size_t row);
  uint32_t appendSlot() { return insertSlot(order_.size()); }
  // `count` fresh null slots at the end; returns the first. For readers that know the count.
  uint32_t appendSlots(size_t count);
  // Takes slots out of the presentation order (records a packet marks original or deleted).
  void hideSlots(const std::vector<uint32_t>& sortedSlots);
  void removeRow(size_t row);
  void clearRows();
  void reserve(size_t rows, size_t heapBytes);
  void shrink();

  ColumnStore& column(size_t field) { return columns_[field]; }
  const ColumnStore& column(size_t field) const { return columns_[field]; }

  // Values as db::Value, converted to and from the field's type. convert raises db::Error
  // (Conversion) naming the field when the value does not fit.
  Value get(uint32_t slot, size_t field) const;
  Value toValue(size_t field, const CellValue& cell) const;
  CellValue convert(size_t field, const Value& value) const;
  void store(uint32_t slot, size_t field, const CellValue& cell);
  void set(uint32_t slot, size_t field, const Value& value) {
    store(slot, field, convert(field, value));
  }
  // True when the cell holds `value` after converting it to the field's type.
  bool matches(uint32_t slot, size_t field, const Value& value) const;
  // Orders two slots by one field, nulls first.
  int compare(uint32_t a, uint32_t b, size_t field) const;

  Table& ensureChild(uint32_t slot, size_t field);
  std::unique_ptr<Table> clone() const;
  size_t memoryUsed() const;

 private:
  std::vector<FieldDef> fields_;
  std::vector<PacketParam> params_;
  std::vector<char> heap_;
  std::vector<ColumnStore> columns_;
  std::vector<uint32_t> order_;
  uint32_t slots_ = 0;
};

}  // namespace db
