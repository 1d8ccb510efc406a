#include "central/world/row_maker.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "central/world/domains.h"
#include "central/world/hashing.h"
#include "central/world/world.h"

namespace central::world {
namespace {

constexpr int64_t kMinutesPerMonth = 30 * 24 * 60;

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Indicators the register acts on get values that keep the demo run on its ordinary road.
const char* indicatorValue(const std::string& column) {
  if (column == "IDPRODATIVPR" || startsWith(column, "IDIMP")) return "S";
  if (column == "IDOPERATIVO") return "A";
  if (column == "IDSTMESAAUX") return "L";
  if (column == "IDCAMPANHA") return "C";
  return "N";
}

int64_t cappedProduct(int64_t a, int64_t b) {
  if (a > std::numeric_limits<int64_t>::max() / std::max<int64_t>(b, 1)) {
    return std::numeric_limits<int64_t>::max();
  }
  return a * b;
}

// The most distinct values a free key column of this type can hold.
int64_t freeCapacity(const Column& column) {
  const int width = varcharWidth(column.type);
  if (width == 0) return std::numeric_limits<int64_t>::max();
  int64_t capacity = 1;
  for (int i = 0; i < std::min(width, 12); ++i) capacity *= 10;
  return capacity - 1;
}

}  // namespace

int varcharWidth(const std::string& type) {
  if (!startsWith(type, "VARCHAR(") || type == "VARCHAR(MAX)") return 0;
  return std::stoi(type.substr(8));
}

db::Value numberedValue(const Column& column, int64_t number) {
  // Whole days: some date keys are compared by day only, so two keys must differ in the day.
  if (column.type == "DATETIME") return worldBaseDate().addDays(-number);
  if (column.type == "INT" || column.type == "BIGINT") return number;
  if (startsWith(column.type, "DECIMAL") || column.type == "FLOAT") {
    return static_cast<double>(number);
  }
  const int width = varcharWidth(column.type);
  char text[32];
  std::snprintf(text, sizeof text, "%0*lld", std::clamp(width, 1, 10),
                static_cast<long long>(number));
  std::string value(text);
  if (width > 0 && static_cast<int>(value.size()) > width)
    value = value.substr(value.size() - width);
  return value;
}

RowMaker::RowMaker(const Table& table, int scale, uint64_t seed)
    : table_(table), scale_(scale), seed_(seed ^ textHash(table.name)), plan_(planFor(table.name)) {
  const int64_t planned = plan_.fixedRows + plan_.rowsPerScale * scale;
  isKey_.assign(table.columns.size(), false);
  int64_t known = 1;
  for (const std::string& k : table.keyColumns()) {
    size_t index = 0;
    while (table.columns[index].name != k) ++index;
    isKey_[index] = true;
    const Domain* domain = domainOf(k);
    const int64_t size = domain ? domain->size(scale) : 0;
    key_.push_back({index, size, size == 0});
    if (size > 0) known = cappedProduct(known, size);
  }
  // The free key column with room for the most values takes the row number; the others stay 1.
  KeyPart* widest = nullptr;
  for (KeyPart& part : key_) {
    if (!part.free) continue;
    part.size = 1;
    if (!widest ||
        freeCapacity(table.columns[part.column]) > freeCapacity(table.columns[widest->column])) {
      widest = &part;
    }
  }
  int64_t capacity = key_.empty() ? planned : known;
  if (widest) {
    widest->size = std::min(std::max<int64_t>(1, (planned + known - 1) / known),
                            freeCapacity(table.columns[widest->column]));
    capacity = cappedProduct(known, widest->size);
  }
  rowCount_ = plan_.fixedValues.empty() ? std::min(planned, capacity)
                                        : static_cast<int64_t>(plan_.fixedValues.size());
}

uint64_t RowMaker::hash(int64_t row, size_t column) const {
  return mix(seed_ ^ mix(static_cast<uint64_t>(row) * 0x100000001b3ULL + column));
}

db::Value RowMaker::keyValue(const KeyPart& part, int64_t index) const {
  const Column& column = table_.columns[part.column];
  if (part.free) return numberedValue(column, index + 1);
  return domainOf(column.name)->value(index);
}

db::Value RowMaker::plainValue(size_t index, int64_t row) const {
  const Column& column = table_.columns[index];
  const std::string& name = column.name;
  const uint64_t h = hash(row, index);
  if (name == table_.updateColumn) {
    return worldBaseDate().addMs(-static_cast<int64_t>(1 + h % (kMinutesPerMonth - 1)) * 60'000);
  }
  if (const Domain* domain = domainOf(name)) {
    return domain->value(static_cast<int64_t>(h % static_cast<uint64_t>(domain->size(scale_))));
  }
  if (column.type == "DATETIME") return worldBaseDate().addDays(-static_cast<int64_t>(h % 365));
  if (startsWith(column.type, "DECIMAL")) return static_cast<double>(h % 100000) / 100.0;
  if (startsWith(name, "NRDIAS")) return int64_t{30};
  if (column.type == "INT" || column.type == "BIGINT") return static_cast<int64_t>(h % 100);
  if (startsWith(name, "ID")) return std::string(indicatorValue(name));
  if (startsWith(name, "DS") || startsWith(name, "NM")) {
    std::string text = table_.name + " " + std::to_string(row + 1);
    const int width = varcharWidth(column.type);
    if (width > 0 && static_cast<int>(text.size()) > width) text.resize(width);
    return text;
  }
  return numberedValue(column, static_cast<int64_t>(h % 1000) + 1);
}

std::vector<db::Value> RowMaker::row(int64_t index) const {
  std::vector<db::Value> values(table_.columns.size());
  int64_t rest = index;
  for (const KeyPart& part : key_) {
    values[part.column] = keyValue(part, rest % part.size);
    rest /= part.size;
  }
  for (size_t c = 0; c < values.size(); ++c) {
    if (!isKey_[c]) values[c] = plainValue(c, index);
  }
  if (!plan_.fixedValues.empty()) {
    for (const auto& [name, value] : plan_.fixedValues[index]) {
      for (size_t c = 0; c < values.size(); ++c) {
        if (table_.columns[c].name == name) values[c] = value;
      }
    }
  }
  return values;
}

}  // namespace central::world
