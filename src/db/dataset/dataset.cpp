#include "db/dataset/dataset.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "db/core/error.h"
#include "db/core/text.h"

namespace db {
namespace {

const std::vector<FieldDef>& noFields() {
  static const std::vector<FieldDef> empty;
  return empty;
}

const std::vector<uint32_t>& noRows() {
  static const std::vector<uint32_t> empty;
  return empty;
}

std::vector<std::string> splitFieldList(std::string_view list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = std::min(list.find(';', start), list.size());
    const std::string_view name = trim(list.substr(start, end - start));
    if (!name.empty()) names.emplace_back(name);
    start = end + 1;
  }
  return names;
}

std::string readWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw Error(ErrorKind::General,
                "cannot open " + path.string() + ": " + std::generic_category().message(errno));
  }
  // One read at the file's size: a character-wise stream copy costs more than decoding.
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
    throw Error(ErrorKind::General, "cannot read " + path.string());
  return bytes;
}

}  // namespace

// ---- Field ----

const FieldDef& Field::def() const { return ds_->fieldDefs().at(index_); }

bool Field::isNull() const { return value().isNull(); }

Value Field::value() const { return ds_->fieldValue(index_); }

void Field::setValue(const Value& v) { ds_->setFieldValue(index_, v); }

DataSet& Field::nestedDataSet() const { return ds_->nested(name()); }

// ---- construction ----

DataSet::DataSet(std::string name) : name_(std::move(name)) {}

DataSet::DataSet(DataSet* parent, size_t parentField) : parent_(parent), parentField_(parentField) {
  name_ = parent->fieldDefs()[parentField].name;
}

DataSet::~DataSet() = default;

DataSet::DataSet(DataSet&& other) noexcept { *this = std::move(other); }

DataSet& DataSet::operator=(DataSet&& other) noexcept {
  if (this == &other) return *this;
  name_ = std::move(other.name_);
  tag_ = other.tag_;
  own_ = std::move(other.own_);
  parent_ = other.parent_;
  parentField_ = other.parentField_;
  bound_ = other.bound_;
  state_ = other.state_;
  pos_ = other.pos_;
  eof_ = other.eof_;
  bof_ = other.bof_;
  insertAt_ = other.insertAt_;
  buffer_ = std::move(other.buffer_);
  modified_ = std::move(other.modified_);
  pendingChildren_ = std::move(other.pendingChildren_);
  filterText_ = std::move(other.filterText_);
  filterTerms_ = std::move(other.filterTerms_);
  filtered_ = other.filtered_;
  indexText_ = std::move(other.indexText_);
  indexFields_ = std::move(other.indexFields_);
  viewActive_ = other.viewActive_;
  view_ = std::move(other.view_);
  logChanges_ = other.logChanges_;
  changeCount_ = other.changeCount_;
  children_ = std::move(other.children_);
  adoptParentPointers();
  return *this;
}

void DataSet::adoptParentPointers() {
  for (auto& [field, child] : children_) child->parent_ = this;
}

// ---- structure ----

void DataSet::createDataSet(std::vector<FieldDef> fields) {
  if (parent_)
    throw Error(ErrorKind::General, "nested dataset " + name_ + " takes its parent's fields");
  own_ = std::make_unique<Table>(std::move(fields));
  unbindChildren();
  children_.clear();
  state_ = State::Browse;
  changeCount_ = 0;
  resetCursor();
}

void DataSet::close() {
  if (parent_) return;
  unbindChildren();
  children_.clear();
  own_.reset();
  state_ = State::Browse;
  resetCursor();
}

bool DataSet::active() const { return parent_ ? parent_->active() : own_ != nullptr; }

DataSet::State DataSet::state() const {
  sync();
  return active() ? state_ : State::Inactive;
}

const std::vector<FieldDef>& DataSet::fieldDefs() const {
  if (const Table* t = table()) return t->fields();
  if (parent_) return parent_->fieldDefs()[parentField_].children;
  return noFields();
}

int DataSet::fieldIndex(std::string_view name) const {
  const auto& defs = fieldDefs();
  for (size_t i = 0; i < defs.size(); ++i) {
    if (iequals(defs[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

Field DataSet::field(size_t index) {
  if (index >= fieldCount()) {
    throw Error(ErrorKind::General,
                "dataset " + name_ + " has no field number " + std::to_string(index));
  }
  return Field(*this, index);
}

Field DataSet::fieldByName(std::string_view name) {
  const int index = fieldIndex(name);
  if (index < 0) {
    throw Error(ErrorKind::General,
                "dataset " + name_ + ": field '" + std::string(name) + "' not found");
  }
  return Field(*this, static_cast<size_t>(index));
}

std::optional<Field> DataSet::findField(std::string_view name) {
  const int index = fieldIndex(name);
  if (index < 0) return std::nullopt;
  return Field(*this, static_cast<size_t>(index));
}

std::vector<PacketParam>& DataSet::params() { return requireTable("params").params(); }

// ---- table binding and view ----

Table* DataSet::table() const {
  if (!parent_) return own_.get();
  return parent_->currentChildTable(parentField_);
}

Table& DataSet::requireTable(const char* operation) const {
  Table* t = table();
  if (!t) {
    throw Error(ErrorKind::General,
                "dataset " + name_ + ": " + operation +
                    (parent_ ? " needs a current parent row" : " needs an open dataset"));
  }
  return *t;
}

void DataSet::sync() const {
  if (!parent_) return;
  Table* t = table();
  if (t == bound_) return;
  bound_ = t;
  state_ = State::Browse;
  buffer_.clear();
  modified_.clear();
  pendingChildren_.clear();
  resetCursor();
}

void DataSet::unbindChildren() {
  for (auto& [field, child] : children_) {
    child->bound_ = nullptr;
    child->state_ = State::Browse;
    child->viewActive_ = false;
    child->view_.clear();
    child->pos_ = 0;
    child->eof_ = child->bof_ = true;
    child->unbindChildren();
  }
}

const std::vector<uint32_t>& DataSet::rows() const {
  if (viewActive_) return view_;
  const Table* t = table();
  return t ? t->order() : noRows();
}

void DataSet::rebuildView() const {
  const Table* t = table();
  const bool filtering = filtered_ && !filterTerms_.empty();
  viewActive_ = t && (filtering || !indexFields_.empty());
  view_.clear();
  if (!viewActive_) return;
  std::vector<std::pair<size_t, const Value*>> terms;
  for (const FilterTerm& term : filtering ? filterTerms_ : std::vector<FilterTerm>{}) {
    const int index = fieldIndex(term.field);
    if (index < 0) {
      throw Error(ErrorKind::General,
                  "dataset " + name_ + ": filter field '" + term.field + "' not found");
    }
    terms.emplace_back(static_cast<size_t>(index), &term.value);
  }
  for (const uint32_t slot : t->order()) {
    const bool keep = std::all_of(terms.begin(), terms.end(), [&](const auto& term) {
      return t->matches(slot, term.first, *term.second);
    });
    if (keep) view_.push_back(slot);
  }
  if (!indexFields_.empty()) {
    std::vector<size_t> keys;
    for (const std::string& name : indexFields_) {
      const int index = fieldIndex(name);
      if (index < 0) {
        throw Error(ErrorKind::General,
                    "dataset " + name_ + ": index field '" + name + "' not found");
      }
      keys.push_back(static_cast<size_t>(index));
    }
    std::stable_sort(view_.begin(), view_.end(), [&](uint32_t a, uint32_t b) {
      for (const size_t key : keys) {
        const int c = t->compare(a, b, key);
        if (c != 0) return c < 0;
      }
      return false;
    });
  }
}

void DataSet::resetCursor() const {
  rebuildView();
  pos_ = 0;
  bof_ = true;
  eof_ = rows().empty();
}

void DataSet::refreshAfterChange(std::optional<uint32_t> keepSlot) {
  if (viewActive_ || filtered_ || !indexFields_.empty()) {
    rebuildView();
    if (keepSlot) {
      const auto& r = rows();
      const auto it = std::find(r.begin(), r.end(), *keepSlot);
      if (it != r.end()) pos_ = static_cast<size_t>(it - r.begin());
    }
  }
  const size_t n = rows().size();
  if (n == 0) {
    pos_ = 0;
    eof_ = bof_ = true;
    return;
  }
  pos_ = std::min(pos_, n - 1);
  eof_ = bof_ = false;
}

size_t DataSet::naturalIndex(size_t position) const {
  const Table& t = *table();
  if (!viewActive_) return position;
  const uint32_t slot = view_[position];
  const auto& order = t.order();
  return static_cast<size_t>(std::find(order.begin(), order.end(), slot) - order.begin());
}

std::vector<size_t> DataSet::resolveFields(std::string_view list) const {
  std::vector<size_t> indexes;
  for (const std::string& name : splitFieldList(list)) {
    const int index = fieldIndex(name);
    if (index < 0) {
      throw Error(ErrorKind::General, "dataset " + name_ + ": field '" + name + "' not found");
    }
    indexes.push_back(static_cast<size_t>(index));
  }
  return indexes;
}

// ---- cursor ----

void DataSet::first() {
  if (state_ != State::Browse) post();
  sync();
  pos_ = 0;
  bof_ = true;
  eof_ = rows().empty();
}

void DataSet::last() {
  if (state_ != State::Browse) post();
  sync();
  const size_t n = rows().size();
  pos_ = n ? n - 1 : 0;
  eof_ = true;
  bof_ = n == 0;
}

void DataSet::next() {
  if (state_ != State::Browse) post();
  sync();
  const size_t n = rows().size();
  if (pos_ + 1 < n) {
    ++pos_;
    bof_ = false;
  } else {
    eof_ = true;
  }
}

void DataSet::prior() {
  if (state_ != State::Browse) post();
  sync();
  if (pos_ > 0 && !rows().empty()) {
    --pos_;
    eof_ = false;
  } else {
    bof_ = true;
  }
}

bool DataSet::eof() const {
  sync();
  return eof_;
}

bool DataSet::bof() const {
  sync();
  return bof_;
}

size_t DataSet::recNo() const {
  sync();
  return pos_;
}

size_t DataSet::recordCount() const {
  sync();
  return rows().size();
}

void DataSet::moveTo(size_t position) {
  if (state_ != State::Browse) post();
  sync();
  const size_t n = rows().size();
  if (position >= n) {
    throw Error(ErrorKind::General,
                "dataset " + name_ + ": no row at position " + std::to_string(position));
  }
  pos_ = position;
  eof_ = bof_ = false;
}

uint32_t DataSet::currentSlot() const { return rows()[pos_]; }

// ---- values ----

Table* DataSet::currentChildTable(size_t field) {
  sync();
  Table* t = table();
  if (!t) return nullptr;
  if (state_ == State::Insert) {
    auto& pending = pendingChildren_[field];
    if (!pending) pending = std::make_unique<Table>(t->fields()[field].children);
    return pending.get();
  }
  if (pos_ >= rows().size()) return nullptr;
  return &t->ensureChild(currentSlot(), field);
}

Value DataSet::fieldValue(size_t index) const {
  sync();
  const Table* t = table();
  if (!t) return Value();
  if (state_ != State::Browse && modified_[index]) return t->toValue(index, buffer_[index]);
  if (state_ == State::Insert || pos_ >= rows().size()) return Value();
  return t->get(currentSlot(), index);
}

void DataSet::setFieldValue(size_t index, const Value& v) {
  sync();
  if (state_ != State::Edit && state_ != State::Insert) {
    throw Error(ErrorKind::General, "dataset " + name_ + " is not in edit or insert mode");
  }
  buffer_[index] = requireTable("set a field").convert(index, v);
  modified_[index] = 1;
}

// ---- editing ----

void DataSet::startNewRow(size_t at) {
  const size_t n = fieldCount();
  state_ = State::Insert;
  insertAt_ = at;
  buffer_.assign(n, CellValue{});
  modified_.assign(n, 0);
  pendingChildren_.clear();
  pendingChildren_.resize(n);
}

void DataSet::append() {
  if (state_ != State::Browse) post();
  sync();
  startNewRow(requireTable("append").rowCount());
}

void DataSet::insert() {
  if (state_ != State::Browse) post();
  sync();
  requireTable("insert");
  startNewRow(rows().empty() ? 0 : naturalIndex(pos_));
}

void DataSet::edit() {
  sync();
  if (state_ == State::Edit || state_ == State::Insert) return;
  requireTable("edit");
  if (rows().empty()) throw Error(ErrorKind::General, "dataset " + name_ + " is empty");
  const size_t n = fieldCount();
  state_ = State::Edit;
  buffer_.assign(n, CellValue{});
  modified_.assign(n, 0);
  pendingChildren_.clear();
  pendingChildren_.resize(n);
}

void DataSet::post() {
  sync();
  if (state_ == State::Browse) return;
  Table& t = requireTable("post");
  const auto& defs = t.fields();
  for (size_t f = 0; f < defs.size(); ++f) {
    if (!defs[f].required() || defs[f].type == FieldType::Nested) continue;
    const bool null = modified_[f] ? buffer_[f].null
                                   : (state_ == State::Insert || t.column(f).isNull(currentSlot()));
    if (null) {
      throw Error(ErrorKind::Constraint,
                  "dataset " + name_ + ": field '" + defs[f].name + "' must have a value");
    }
  }
  uint32_t slot;
  if (state_ == State::Insert) {
    slot = t.insertSlot(insertAt_);
    for (size_t f = 0; f < defs.size(); ++f) {
      if (pendingChildren_[f]) t.column(f).setChild(slot, std::move(pendingChildren_[f]));
    }
    if (!viewActive_) pos_ = insertAt_;
  } else {
    slot = currentSlot();
  }
  for (size_t f = 0; f < defs.size(); ++f) {
    if (modified_[f]) t.store(slot, f, buffer_[f]);
  }
  state_ = State::Browse;
  buffer_.clear();
  modified_.clear();
  pendingChildren_.clear();
  countChange();
  refreshAfterChange(slot);
}

void DataSet::cancel() {
  sync();
  // Nested datasets may be looking at the rows of a parent row that is being dropped.
  if (state_ == State::Insert) unbindChildren();
  state_ = State::Browse;
  buffer_.clear();
  modified_.clear();
  pendingChildren_.clear();
}

void DataSet::deleteRecord() {
  if (state_ == State::Insert) {
    cancel();
    return;
  }
  cancel();
  Table& t = requireTable("delete");
  if (rows().empty()) throw Error(ErrorKind::General, "dataset " + name_ + " is empty");
  const size_t index = naturalIndex(pos_);
  unbindChildren();
  t.removeRow(index);
  countChange();
  refreshAfterChange(std::nullopt);
}

void DataSet::appendRecord(const std::vector<Value>& values) {
  if (values.size() > fieldCount()) {
    throw Error(ErrorKind::General, "dataset " + name_ + ": " + std::to_string(values.size()) +
                                        " values for " + std::to_string(fieldCount()) + " fields");
  }
  append();
  try {
    for (size_t f = 0; f < values.size(); ++f) setFieldValue(f, values[f]);
    post();
  } catch (...) {
    cancel();
    throw;
  }
}

void DataSet::emptyDataSet() {
  cancel();
  Table& t = requireTable("empty");
  unbindChildren();
  t.clearRows();
  countChange();
  resetCursor();
}

void DataSet::countChange() {
  if (logChanges_) ++changeCount_;
}

// ---- search ----

bool DataSet::locate(std::string_view keyFields, const std::vector<Value>& values) {
  if (state_ != State::Browse) post();
  sync();
  const Table& t = requireTable("locate");
  const std::vector<size_t> keys = resolveFields(keyFields);
  if (keys.empty() || keys.size() != values.size()) {
    throw Error(ErrorKind::General, "dataset " + name_ + ": locate on \"" + std::string(keyFields) +
                                        "\" with " + std::to_string(values.size()) + " values");
  }
  const auto& r = rows();
  for (size_t i = 0; i < r.size(); ++i) {
    bool all = true;
    for (size_t k = 0; k < keys.size() && all; ++k) all = t.matches(r[i], keys[k], values[k]);
    if (all) {
      pos_ = i;
      eof_ = bof_ = false;
      return true;
    }
  }
  return false;
}

void DataSet::setFilter(std::string_view expression) {
  filterTerms_ = parseFilter(expression);
  filterText_ = std::string(expression);
  if (filtered_) resetCursor();
}

void DataSet::setFiltered(bool on) {
  if (state_ != State::Browse) post();
  filtered_ = on;
  resetCursor();
}

void DataSet::setIndexFieldNames(std::string_view fields) {
  if (state_ != State::Browse) post();
  if (table()) resolveFields(fields);
  indexFields_ = splitFieldList(fields);
  indexText_ = std::string(fields);
  resetCursor();
}

// ---- nested ----

DataSet& DataSet::nested(std::string_view fieldName) {
  const int index = fieldIndex(fieldName);
  if (index < 0 || fieldDefs()[static_cast<size_t>(index)].type != FieldType::Nested) {
    throw Error(ErrorKind::General,
                "dataset " + name_ + ": no nested dataset field '" + std::string(fieldName) + "'");
  }
  auto& child = children_[static_cast<size_t>(index)];
  if (!child) child.reset(new DataSet(this, static_cast<size_t>(index)));
  child->sync();
  return *child;
}

// ---- packets ----

Bytes DataSet::toPacket(PacketFormat format) const {
  const std::string packet = writePacket(requireTable("write a data packet"), format);
  return Bytes(packet.begin(), packet.end());
}

void DataSet::setData(const Bytes& packet, std::string_view source) {
  setData(std::string_view(reinterpret_cast<const char*>(packet.data()), packet.size()), source);
}

void DataSet::setData(std::string_view packet, std::string_view source) {
  if (parent_) {
    throw Error(ErrorKind::General, "nested dataset " + name_ + " is filled through its parent");
  }
  std::unique_ptr<Table> loaded = readPacket(packet, source);
  unbindChildren();
  children_.clear();
  own_ = std::move(loaded);
  state_ = State::Browse;
  buffer_.clear();
  modified_.clear();
  changeCount_ = 0;
  resetCursor();
}

void DataSet::loadFromFile(const std::filesystem::path& path) {
  setData(std::string_view(readWholeFile(path)), path.string());
}

void DataSet::saveToFile(const std::filesystem::path& path, PacketFormat format) const {
  const std::string packet = writePacket(requireTable("save"), format);
  // Written beside the target and renamed, so a failed write never leaves half a file.
  std::filesystem::path temp = path;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(packet.data(), static_cast<std::streamsize>(packet.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      throw Error(ErrorKind::General,
                  "cannot write " + path.string() + ": " + std::generic_category().message(errno));
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    throw Error(ErrorKind::General, "cannot write " + path.string() + ": " + ec.message());
  }
}

size_t DataSet::memoryUsed() const {
  const Table* t = table();
  return t ? t->memoryUsed() : 0;
}

}  // namespace db
