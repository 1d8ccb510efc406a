#include "db/dataset/table.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "db/core/error.h"
#include "db/dataset/decimal.h"

namespace db {
namespace {

bool isTextBlob(const FieldDef& def) {
  return def.type == FieldType::Blob && (def.subtype == "Text" || def.subtype == "WideText");
}

ColumnStore::Storage storageOf(FieldType type) {
  switch (type) {
    case FieldType::String:
    case FieldType::FixedString:
    case FieldType::WideString:
    case FieldType::Bcd:
    case FieldType::Blob:
      return ColumnStore::Storage::Heap;
    case FieldType::Nested:
      return ColumnStore::Storage::Nested;
    default:
      return ColumnStore::Storage::Word;
  }
}

struct IntRange {
  int64_t min, max;
};

IntRange rangeOf(FieldType type) {
  switch (type) {
    case FieldType::Int8:
      return {INT8_MIN, INT8_MAX};
    case FieldType::Int16:
      return {INT16_MIN, INT16_MAX};
    case FieldType::Int32:
      return {INT32_MIN, INT32_MAX};
    case FieldType::UInt8:
      return {0, UINT8_MAX};
    case FieldType::UInt16:
      return {0, UINT16_MAX};
    case FieldType::UInt32:
      return {0, UINT32_MAX};
    case FieldType::UInt64:
      return {0, std::numeric_limits<int64_t>::max()};
    default:
      return {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()};
  }
}

bool isInteger(FieldType t) {
  switch (t) {
    case FieldType::Int8:
    case FieldType::Int16:
    case FieldType::Int32:
    case FieldType::Int64:
    case FieldType::UInt8:
    case FieldType::UInt16:
    case FieldType::UInt32:
    case FieldType::UInt64:
      return true;
    default:
      return false;
  }
}

bool isDateLike(FieldType t) {
  return t == FieldType::Date || t == FieldType::Time || t == FieldType::DateTime ||
         t == FieldType::SqlDateTime;
}

std::string rawText(const Value& v) {
  if (v.kind() == Value::Kind::Bytes) {
    const Bytes& b = v.getBytes();
    return std::string(b.begin(), b.end());
  }
  return v.asText();
}

int64_t dateTimeWord(FieldType type, const Value& v) {
  const DateTime dt = v.asDateTime();
  if (type == FieldType::Date) return dt.date().msSinceZero();
  if (type == FieldType::Time) return dt.msSinceZero() - dt.date().msSinceZero();
  return dt.msSinceZero();
}

std::string decimalText(const Value& v) {
  if (v.kind() == Value::Kind::Int) return std::to_string(v.getInt());
  if (v.kind() == Value::Kind::Double) {
    // Fixed notation: the shortest text of 100000.0 is "1e+05", which no decimal field takes.
    char text[400];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, v.getDouble(), std::chars_format::fixed);
    if (ec == std::errc()) return canonicalDecimal(std::string_view(text, end - text));
  }
  return canonicalDecimal(v.asText());
}

}  // namespace

ColumnStore::ColumnStore(const FieldDef& def, std::vector<char>* heap)
    : storage_(storageOf(def.type)),
      type_(def.type),
      textual_(def.type != FieldType::Blob || isTextBlob(def)),
      heap_(heap) {}

void ColumnStore::reserve(size_t cells) {
  nulls_.reserve(cells);
  if (storage_ == Storage::Nested) {
    children_.reserve(cells);
    return;
  }
  words_.reserve(cells);
  if (storage_ == Storage::Heap) lengths_.reserve(cells);
}

void ColumnStore::shrink() {
  nulls_.shrink_to_fit();
  words_.shrink_to_fit();
  lengths_.shrink_to_fit();
  children_.shrink_to_fit();
}

void ColumnStore::appendNull() {
  nulls_.push_back(1);
  if (storage_ == Storage::Nested) {
    children_.emplace_back();
    return;
  }
  words_.push_back(0);
  if (storage_ == Storage::Heap) lengths_.push_back(0);
}

void ColumnStore::appendNulls(size_t count) {
  nulls_.resize(nulls_.size() + count, 1);
  if (storage_ == Storage::Nested) {
    children_.resize(children_.size() + count);
    return;
  }
  words_.resize(words_.size() + count, 0);
  if (storage_ == Storage::Heap) lengths_.resize(lengths_.size() + count, 0);
}

void ColumnStore::clear() {
  nulls_.clear();
  words_.clear();
  lengths_.clear();
  children_.clear();
}

double ColumnStore::real(uint32_t slot) const { return std::bit_cast<double>(words_[slot]); }

std::string_view ColumnStore::bytes(uint32_t slot) const {
  if (storage_ != Storage::Heap || nulls_[slot]) return {};
  return std::string_view(heap_->data() + words_[slot], lengths_[slot]);
}

void ColumnStore::setNull(uint32_t slot) {
  nulls_[slot] = 1;
  if (storage_ == Storage::Nested) children_[slot].reset();
}

void ColumnStore::setWord(uint32_t slot, int64_t value) {
  nulls_[slot] = 0;
  words_[slot] = value;
}

void ColumnStore::setReal(uint32_t slot, double value) {
  setWord(slot, std::bit_cast<int64_t>(value));
}

void ColumnStore::setBytes(uint32_t slot, std::string_view value) {
  if (value.size() > std::numeric_limits<uint32_t>::max()) {
    throw Error(ErrorKind::Conversion, "value of " + std::to_string(value.size()) +
                                           " bytes is too long for one dataset cell");
  }
  // An edit appends; the old bytes stay unreferenced until the rows are emptied.
  nulls_[slot] = 0;
  words_[slot] = static_cast<int64_t>(heap_->size());
  lengths_[slot] = static_cast<uint32_t>(value.size());
  heap_->insert(heap_->end(), value.begin(), value.end());
}

void ColumnStore::setChild(uint32_t slot, std::unique_ptr<Table> table) {
  nulls_[slot] = table ? 0 : 1;
  children_[slot] = std::move(table);
}

Table& ColumnStore::ensureChild(uint32_t slot, const FieldDef& def) {
  if (!children_[slot]) {
    children_[slot] = std::make_unique<Table>(def.children);
    nulls_[slot] = 0;
  }
  return *children_[slot];
}

void ColumnStore::copyCell(uint32_t slot, const ColumnStore& source, uint32_t from) {
  if (source.isNull(from)) return;
  switch (source.storage_) {
    case Storage::Word:
      setWord(slot, source.word(from));
      break;
    case Storage::Heap:
      // Bytes of this table's own heap are copied out first: appending to the heap may move them.
      if (source.heap_ == heap_)
        setBytes(slot, std::string(source.bytes(from)));
      else
        setBytes(slot, source.bytes(from));
      break;
    case Storage::Nested:
      setChild(slot, source.child(from)->clone());
      break;
  }
}

size_t ColumnStore::memoryUsed() const {
  size_t total = nulls_.capacity() + words_.capacity() * sizeof(int64_t) +
                 lengths_.capacity() * sizeof(uint32_t) +
                 children_.capacity() * sizeof(std::unique_ptr<Table>);
  for (const auto& child : children_) {
    if (child) total += sizeof(Table) + child->memoryUsed();
  }
  return total;
}

Table::Table(std::vector<FieldDef> fields) : fields_(std::move(fields)) {
  columns_.reserve(fields_.size());
  for (const FieldDef& def : fields_) columns_.emplace_back(def, &heap_);
}

uint32_t Table::insertSlot(size_t row) {
  if (slots_ == std::numeric_limits<uint32_t>::max()) {
    throw Error(ErrorKind::General, "dataset holds the largest possible number of rows");
  }
  for (ColumnStore& c : columns_) c.appendNull();
  const uint32_t slot = slots_++;
  order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(row), slot);
  return slot;
}

uint32_t Table::appendSlots(size_t count) {
  if (count > std::numeric_limits<uint32_t>::max() - slots_) {
    throw Error(ErrorKind::General, "too many rows for one dataset");
  }
  for (ColumnStore& c : columns_) c.appendNulls(count);
  const uint32_t first = slots_;
  order_.reserve(order_.size() + count);
  for (size_t i = 0; i < count; ++i) order_.push_back(first + static_cast<uint32_t>(i));
  slots_ += static_cast<uint32_t>(count);
  return first;
}

void Table::hideSlots(const std::vector<uint32_t>& sortedSlots) {
  if (sortedSlots.empty()) return;
  std::erase_if(order_, [&](uint32_t slot) {
    return std::binary_search(sortedSlots.begin(), sortedSlots.end(), slot);
  });
}

void Table::removeRow(size_t row) {
  const uint32_t slot = order_[row];
  for (size_t f = 0; f < columns_.size(); ++f) {
    if (columns_[f].storage() == ColumnStore::Storage::Nested) columns_[f].setNull(slot);
  }
  order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(row));
}

void Table::clearRows() {
  for (ColumnStore& c : columns_) c.clear();
  heap_.clear();
  order_.clear();
  slots_ = 0;
}

void Table::reserve(size_t rows, size_t heapBytes) {
  order_.reserve(rows);
  heap_.reserve(heapBytes);
  for (ColumnStore& c : columns_) c.reserve(rows);
}

void Table::shrink() {
  order_.shrink_to_fit();
  // Readers reserve the heap for the worst case; give back a large unused part.
  if (heap_.capacity() - heap_.size() > heap_.size() / 4) heap_.shrink_to_fit();
  for (ColumnStore& c : columns_) c.shrink();
}

namespace {

Value makeValue(const ColumnStore& c, bool null, int64_t word, std::string_view bytes) {
  if (null) return Value();
  switch (c.type()) {
    case FieldType::String:
    case FieldType::FixedString:
    case FieldType::WideString:
    case FieldType::Bcd:
      return Value(std::string(bytes));
    case FieldType::Blob:
      if (c.textual()) return Value(std::string(bytes));
      return Value(Bytes(bytes.begin(), bytes.end()));
    case FieldType::Float:
      return Value(std::bit_cast<double>(word));
    case FieldType::Boolean:
      return Value(word != 0);
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime:
    case FieldType::SqlDateTime:
      return Value(DateTime(word));
    case FieldType::Nested:
      return Value();
    default:
      return Value(word);
  }
}

}  // namespace

Value Table::get(uint32_t slot, size_t field) const {
  const ColumnStore& c = columns_[field];
  const bool null = c.isNull(slot);
  if (null || c.storage() == ColumnStore::Storage::Nested) return Value();
  return makeValue(c, false, c.storage() == ColumnStore::Storage::Word ? c.word(slot) : 0,
                   c.bytes(slot));
}

Value Table::toValue(size_t field, const CellValue& cell) const {
  return makeValue(columns_[field], cell.null, cell.word, cell.bytes);
}

CellValue Table::convert(size_t field, const Value& value) const {
  return convertCell(fields_[field], value);
}

CellValue convertCell(const FieldDef& def, const Value& value) {
  CellValue cell;
  if (value.isNull()) return cell;
  cell.null = false;
  try {
    const FieldType t = def.type;
    if (t == FieldType::Nested) {
      throw std::invalid_argument("a nested dataset field takes rows, not a value");
    } else if (t == FieldType::Bcd) {
      cell.bytes = decimalText(value);
    } else if (storageOf(t) == ColumnStore::Storage::Heap) {
      cell.bytes = rawText(value);
    } else if (t == FieldType::Float) {
      cell.word = std::bit_cast<int64_t>(value.asDouble());
    } else if (t == FieldType::Boolean) {
      cell.word = value.asBool() ? 1 : 0;
    } else if (isDateLike(t)) {
      cell.word = dateTimeWord(t, value);
    } else {
      const int64_t v = value.asInt();
      const IntRange r = rangeOf(t);
      if (v < r.min || v > r.max) {
        throw std::out_of_range(std::to_string(v) + " is outside the range of " +
                                std::string(fieldTypeName(t)));
      }
      cell.word = v;
    }
  } catch (const Error&) {
    throw;
  } catch (const std::exception& e) {
    throw Error(ErrorKind::Conversion, "field " + def.name + ": " + e.what());
  }
  return cell;
}

void Table::store(uint32_t slot, size_t field, const CellValue& cell) {
  ColumnStore& c = columns_[field];
  if (cell.null) {
    c.setNull(slot);
  } else if (c.storage() == ColumnStore::Storage::Heap) {
    c.setBytes(slot, cell.bytes);
  } else {
    c.setWord(slot, cell.word);
  }
}

bool Table::matches(uint32_t slot, size_t field, const Value& value) const {
  const ColumnStore& c = columns_[field];
  if (c.isNull(slot) || value.isNull()) return c.isNull(slot) && value.isNull();
  const FieldType t = c.type();
  try {
    if (t == FieldType::Bcd) return c.bytes(slot) == decimalText(value);
    if (c.storage() == ColumnStore::Storage::Heap) return c.bytes(slot) == rawText(value);
    if (t == FieldType::Float) return c.real(slot) == value.asDouble();
    if (t == FieldType::Boolean) return (c.word(slot) != 0) == value.asBool();
    if (isDateLike(t)) return c.word(slot) == dateTimeWord(t, value);
    if (isInteger(t)) {
      if (value.kind() == Value::Kind::Double) {
        return static_cast<double>(c.word(slot)) == value.getDouble();
      }
      return c.word(slot) == value.asInt();
    }
  } catch (const std::exception&) {
    return false;  // a value that does not convert to the field's type matches nothing
  }
  return false;
}

int Table::compare(uint32_t a, uint32_t b, size_t field) const {
  const ColumnStore& c = columns_[field];
  const bool na = c.isNull(a), nb = c.isNull(b);
  if (na || nb) return nb - na;
  const FieldType t = c.type();
  auto order = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
  if (t == FieldType::Bcd) {
    return order(std::strtod(std::string(c.bytes(a)).c_str(), nullptr),
                 std::strtod(std::string(c.bytes(b)).c_str(), nullptr));
  }
  if (c.storage() == ColumnStore::Storage::Heap) return c.bytes(a).compare(c.bytes(b));
  if (t == FieldType::Float) return order(c.real(a), c.real(b));
  if (c.storage() == ColumnStore::Storage::Nested) return 0;
  return order(c.word(a), c.word(b));
}

Table& Table::ensureChild(uint32_t slot, size_t field) {
  return columns_[field].ensureChild(slot, fields_[field]);
}

std::unique_ptr<Table> Table::clone() const {
  auto copy = std::make_unique<Table>(fields_);
  copy->params_ = params_;
  copy->reserve(order_.size(), 0);
  for (const uint32_t slot : order_) {
    const uint32_t to = copy->appendSlot();
    for (size_t f = 0; f < fields_.size(); ++f) {
      copy->columns_[f].copyCell(to, columns_[f], slot);
    }
  }
  return copy;
}

size_t Table::memoryUsed() const {
  size_t total = order_.capacity() * sizeof(uint32_t) + heap_.capacity();
  for (const ColumnStore& c : columns_) total += sizeof(ColumnStore) + c.memoryUsed();
  return total;
}

}  // namespace db
