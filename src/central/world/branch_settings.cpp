#include "central/world/branch_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "central/world/row_maker.h"
#include "central/world/statements.h"

namespace central {
namespace {

// The parameter tables whose rows are a branch's switches.
constexpr std::string_view kSwitchableTables[] = {"PARAVEND"};

// A later stamp than any already written, so a register that holds the newest row still asks
// for (and receives) the changed one.
constexpr int64_t kStampStepMs = 1000;

std::string upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

size_t characterCount(const std::string& utf8) {
  return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

const Table& switchableTable(const Model& model, const std::string& name) {
  const bool listed = std::find(std::begin(kSwitchableTables), std::end(kSwitchableTables), name) !=
                      std::end(kSwitchableTables);
  const Table* table = listed ? model.findTable(name) : nullptr;
  if (!table) throw std::invalid_argument("table " + name + " holds no branch settings");
  return *table;
}

const Column& switchableColumn(const Table& table, const std::string& name) {
  const Column* column = table.findColumn(name);
  if (!column) throw std::invalid_argument("table " + table.name + " has no column " + name);
  const std::vector<std::string> key = table.keyColumns();
  if (column->name == table.updateColumn || column->name == table.branchColumn ||
      std::find(key.begin(), key.end(), column->name) != key.end())
    throw std::invalid_argument(table.name + "." + column->name + " cannot be set");
  return *column;
}

db::Value integerValue(const std::string& where, const std::string& text) {
  int64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc() || end != text.data() + text.size())
    throw std::invalid_argument(where + " takes a whole number");
  return number;
}

db::Value decimalValue(const std::string& where, const std::string& text) {
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(number))
    throw std::invalid_argument(where + " takes a number");
  return number;
}

// The value as the column's type holds it.
db::Value typedValue(const Table& table, const Column& column, const std::string& text) {
  const std::string where = table.name + "." + column.name;
  if (startsWith(column.type, "VARCHAR")) {
    const int width = world::varcharWidth(column.type);
    if (width > 0 && characterCount(text) > static_cast<size_t>(width))
      throw std::invalid_argument(where + " holds at most " + std::to_string(width) +
                                  (width == 1 ? " character" : " characters"));
    return text;
  }
  if (column.type == "INT" || column.type == "BIGINT") return integerValue(where, text);
  if (startsWith(column.type, "DECIMAL") || column.type == "FLOAT")
    return decimalValue(where, text);
  throw std::invalid_argument(where + " (" + column.type + ") cannot be set here");
}

struct TableSettings {
  const Table* table;
  std::vector<std::string> columns;
  db::Params values;
};

std::vector<TableSettings> validated(const Model& model,
                                     const std::vector<SettingAssignment>& assignments) {
  if (assignments.empty()) throw std::invalid_argument("no TABLE.COLUMN=VALUE given");
  std::vector<TableSettings> tables;
  for (const SettingAssignment& a : assignments) {
    const Table& table = switchableTable(model, upper(a.table));
    const Column& column = switchableColumn(table, upper(a.column));
    auto it = std::find_if(tables.begin(), tables.end(),
                           [&](const TableSettings& t) { return t.table == &table; });
    if (it == tables.end()) it = tables.insert(tables.end(), {&table, {}, {}});
    if (std::find(it->columns.begin(), it->columns.end(), column.name) != it->columns.end())
      throw std::invalid_argument(table.name + "." + column.name + " is given twice");
    it->columns.push_back(column.name);
    it->values.push_back({"P_" + column.name, typedValue(table, column, a.value)});
  }
  return tables;
}

db::DateTime stampAfter(db::Connection& connection, const Table& table, db::DateTime now) {
  auto rows = connection.query(world::newestUpdateStatement(table));
  if (!rows->next() || rows->at(0).isNull()) return now;
  const db::DateTime newest = rows->at(0).asDateTime();
  return newest < now ? now : newest.addMs(kStampStepMs);
}

std::string branchUpdateStatement(const Table& table, const std::vector<std::string>& columns) {
  std::string sets;
  for (const std::string& c : columns) sets += c + " = :P_" + c + ", ";
  return "UPDATE " + table.name + " SET " + sets + table.updateColumn + " = :P_" +
         table.updateColumn + " WHERE " + table.branchColumn + " = :P_" + table.branchColumn;
}

SettingsChange applyToBranch(db::Connection& connection, const TableSettings& settings,
                             const std::string& branch, db::DateTime now) {
  const Table& table = *settings.table;
  SettingsChange change{table.name, {}, 0};
  connection.begin();
  try {
    change.stampedAt = stampAfter(connection, table, now);
    db::Params params = settings.values;
    params.push_back({"P_" + table.updateColumn, change.stampedAt});
    params.push_back({"P_" + table.branchColumn, branch});
    change.rows = connection.execute(branchUpdateStatement(table, settings.columns), params);
    if (change.rows == 0)
      throw std::invalid_argument("branch " + branch + " has no row in " + table.name);
    connection.commit();
  } catch (...) {
    connection.rollback();
    throw;
  }
  return change;
}

}  // namespace

SettingAssignment parseSettingAssignment(std::string_view text) {
  const size_t equals = text.find('=');
  const size_t dot = text.substr(0, equals).find('.');
  if (equals == std::string_view::npos || dot == std::string_view::npos || dot == 0 ||
      dot + 1 == equals)
    throw std::invalid_argument("expected TABLE.COLUMN=VALUE, got " + std::string(text));
  return {std::string(text.substr(0, dot)), std::string(text.substr(dot + 1, equals - dot - 1)),
          std::string(text.substr(equals + 1))};
}

std::vector<SettingsChange> setBranchSettings(db::Connection& connection, const Model& model,
                                              const std::string& branch,
                                              const std::vector<SettingAssignment>& assignments,
                                              db::DateTime now) {
  const std::vector<TableSettings> tables = validated(model, assignments);
  std::vector<SettingsChange> changes;
  for (const TableSettings& settings : tables)
    changes.push_back(applyToBranch(connection, settings, branch, now));
  return changes;
}

}  // namespace central
