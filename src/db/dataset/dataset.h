#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/value.h"
#include "db/dataset/field_def.h"
#include "db/dataset/filter.h"
#include "db/dataset/packet.h"
#include "db/dataset/table.h"

namespace db {

class DataSet;

// A handle on one field of a dataset's current row. Cheap to copy; look it up once by name and
// keep it while walking the rows. Valid until the dataset's fields are redefined.
class Field {
 public:
  Field(DataSet& dataSet, size_t index) : ds_(&dataSet), index_(index) {}

  const FieldDef& def() const;
  const std::string& name() const { return def().name; }
  FieldType type() const { return def().type; }
  int size() const { return def().size; }
  bool required() const { return def().required(); }
  size_t index() const { return index_; }

  bool isNull() const;
  Value value() const;
  // Null reads as "", 0, 0.0, false and the zero date; texts that do not convert raise.
  std::string asString() const { return value().asText(); }
  int64_t asInteger() const { return value().asInt(); }
  double asFloat() const { return value().asDouble(); }
  bool asBoolean() const { return value().asBool(); }
  DateTime asDateTime() const { return value().asDateTime(); }

  // Setters need the dataset in Edit or Insert state; the value is converted to the field's
  // type and raises db::Error (Conversion) naming the field when it does not fit.
  void setValue(const Value& v);
  void setString(std::string_view v) { setValue(Value(v)); }
  void setInteger(int64_t v) { setValue(Value(v)); }
  void setFloat(double v) { setValue(Value(v)); }
  void setBoolean(bool v) { setValue(Value(v)); }
  void setDateTime(DateTime v) { setValue(Value(v)); }
  void clear() { setValue(Value()); }

  // The child rows of a Nested field for the current row.
  DataSet& nestedDataSet() const;

 private:
  DataSet* ds_;
  size_t index_;
};

// An in-memory table with typed fields, a cursor, edit states and the data-packet formats.
// Rows are presented in their own order, or filtered and ordered when a filter or an index
// field list is set. A nested dataset follows the current row of its parent.
class DataSet {
 public:
  enum class State { Inactive, Browse, Edit, Insert };

  explicit DataSet(std::string name = {});
  ~DataSet();
  DataSet(const DataSet&) = delete;
  DataSet& operator=(const DataSet&) = delete;
  DataSet(DataSet&& other) noexcept;
  DataSet& operator=(DataSet&& other) noexcept;

  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  int tag() const { return tag_; }
  void setTag(int tag) { tag_ = tag; }

  // Structure. createDataSet defines the fields and opens the dataset with no rows.
  void createDataSet(std::vector<FieldDef> fields);
  void close();
  bool active() const;
  State state() const;
  const std::vector<FieldDef>& fieldDefs() const;
  size_t fieldCount() const { return fieldDefs().size(); }
  int fieldIndex(std::string_view name) const;  // -1 when absent; names match ignoring case
  Field field(size_t index);
  Field fieldByName(std::string_view name);  // raises naming the field when absent
  std::optional<Field> findField(std::string_view name);
  // Dataset-level packet properties (LCID, PRIMARY_KEY, DEFAULT_ORDER ...).
  std::vector<PacketParam>& params();

  // Cursor over the presented rows.
  void first();
  void last();
  void next();
  void prior();
  bool eof() const;
  bool bof() const;
  size_t recordCount() const;
  bool isEmpty() const { return recordCount() == 0; }
  size_t recNo() const;  // 0-based position of the current row
  void moveTo(size_t position);

  // Editing. append/insert start a new row (at the end / before the current row), edit
  // changes the current row, post stores it, cancel drops it.
  void append();
  void insert();
  void edit();
  void post();
  void cancel();
  void deleteRecord();
  void appendRecord(const std::vector<Value>& values);
  void emptyDataSet();

  // Finds the first presented row whose fields "A;B;C" hold the values; moves there on success.
  bool locate(std::string_view keyFields, const std::vector<Value>& values);
  // A filter expression: comparisons FIELD = value joined by AND, values quoted ('x') or bare
  // numbers, e.g. "CDPRODUTO ='0001'". Takes effect while filtered() is on.
  void setFilter(std::string_view expression);
  const std::string& filter() const { return filterText_; }
  void setFiltered(bool on);
  bool filtered() const { return filtered_; }
  // Orders the presented rows by "A;B" (ascending, nulls first); "" restores the natural order.
  void setIndexFieldNames(std::string_view fields);
  const std::string& indexFieldNames() const { return indexText_; }

  // The child rows of nested field `fieldName` for the current row.
  DataSet& nested(std::string_view fieldName);

  // Change logging: kept for the callers that switch it; packets are always written with the
  // changes applied, so merging only clears the count.
  bool logChanges() const { return logChanges_; }
  void setLogChanges(bool on) { logChanges_ = on; }
  size_t changeCount() const { return changeCount_; }
  void mergeChangeLog() { changeCount_ = 0; }

  // Data packets. setData detects the format from the content; `source` names the packet in
  // error messages (a file name, a remote method).
  Bytes data() const { return toPacket(PacketFormat::Binary); }
  Bytes toPacket(PacketFormat format) const;
  void setData(const Bytes& packet, std::string_view source = "data packet");
  void setData(std::string_view packet, std::string_view source = "data packet");
  void loadFromFile(const std::filesystem::path& path);
  void saveToFile(const std::filesystem::path& path,
                  PacketFormat format = PacketFormat::Binary) const;

  // Bytes held by the rows (for the memory benchmark).
  size_t memoryUsed() const;

 private:
  friend class Field;

  DataSet(DataSet* parent, size_t parentField);
  Table* table() const;  // also follows a parent that moved to another row
  void sync() const;
  Table& requireTable(const char* operation) const;
  void resetCursor() const;
  void adoptParentPointers();
  const std::vector<uint32_t>& rows() const;
  void rebuildView() const;
  void refreshAfterChange(std::optional<uint32_t> keepSlot);
  void startNewRow(size_t at);
  uint32_t currentSlot() const;
  Table* currentChildTable(size_t field);
  Value fieldValue(size_t index) const;
  void setFieldValue(size_t index, const Value& v);
  void countChange();
  void unbindChildren();
  size_t naturalIndex(size_t position) const;
  std::vector<size_t> resolveFields(std::string_view list) const;

  std::string name_;
  int tag_ = 0;
  std::unique_ptr<Table> own_;
  DataSet* parent_ = nullptr;
  size_t parentField_ = 0;
  mutable Table* bound_ = nullptr;  // the parent row's child table the cursor belongs to

  // Cursor and edit state; mutable because a nested dataset resets them when its parent moves.
  mutable State state_ = State::Browse;
  mutable size_t pos_ = 0;
  mutable bool eof_ = true;
  mutable bool bof_ = true;
  size_t insertAt_ = 0;
  mutable std::vector<CellValue> buffer_;
  mutable std::vector<uint8_t> modified_;
  mutable std::vector<std::unique_ptr<Table>> pendingChildren_;

  std::string filterText_;
  std::vector<FilterTerm> filterTerms_;
  bool filtered_ = false;
  std::string indexText_;
  std::vector<std::string> indexFields_;
  mutable bool viewActive_ = false;
  mutable std::vector<uint32_t> view_;

  bool logChanges_ = true;
  size_t changeCount_ = 0;
  std::map<size_t, std::unique_ptr<DataSet>> children_;
};

}  // namespace db
