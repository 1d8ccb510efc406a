#include "download/statement_files/insert_fast_path.h"

#include <exception>
#include <optional>

#include "db/core/text.h"

namespace download {
namespace {

constexpr std::string_view kColumnTypes =
    "SELECT COLUMN_NAME, DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = :P_TABLE";

enum class ColumnClass { Plain, DateTime, Unsupported };

// DATETIME constants are converted by the engine from text; binding reproduces that for the
// ISO forms only. Other date and time types are left to the text path.
ColumnClass classify(std::string_view dataType) {
  const std::string type = db::upper(dataType);
  if (type == "DATETIME" || type == "SMALLDATETIME") return ColumnClass::DateTime;
  if (type.find("DATE") != std::string::npos || type.find("TIME") != std::string::npos)
    return ColumnClass::Unsupported;
  return ColumnClass::Plain;
}

bool isIsoDate(std::string_view text) {
  auto digits = [&](size_t from, size_t count) {
    if (text.size() < from + count) return false;
    for (size_t i = from; i < from + count; ++i)
      if (text[i] < '0' || text[i] > '9') return false;
    return true;
  };
  return digits(0, 4) && ((text.size() > 4 && text[4] == '-') || digits(4, 4));
}

std::string_view unqualified(std::string_view table) {
  const size_t dot = table.rfind('.');
  return dot == std::string_view::npos ? table : table.substr(dot + 1);
}

}  // namespace

bool InsertFastPath::tryRun(std::string_view line) {
  return parseInsertLine(line, parsed_) && tryRun(parsed_);
}

bool InsertFastPath::tryRun(const InsertLine& line) {
  const Shape& shape = shapeFor(line);
  if (!shape.statement || !bindAll(shape, line)) return false;
  shape.statement->execute();
  return true;
}

const InsertFastPath::Shape& InsertFastPath::shapeFor(const InsertLine& line) {
  if (auto found = shapes_.find(line.head); found != shapes_.end()) return found->second;
  return shapes_.emplace(std::string(line.head), buildShape(line)).first->second;
}

InsertFastPath::Shape InsertFastPath::buildShape(const InsertLine& line) {
  Shape shape;
  try {
    std::unordered_map<std::string, ColumnClass> types;
    auto& query = conn_.prepare(kColumnTypes);
    query.bind("P_TABLE", unqualified(line.table));
    for (auto rows = query.query(); rows->next();)
      types[db::upper(rows->at(0).asText())] = classify(rows->at(1).asText());

    std::string text = std::string(line.head) + " VALUES (";
    for (size_t i = 0; i < line.columns.size(); ++i) {
      const auto type = types.find(db::upper(line.columns[i]));
      if (type == types.end() || type->second == ColumnClass::Unsupported) return {};
      shape.isDateTime.push_back(type->second == ColumnClass::DateTime);
      text += (i ? ", :P" : ":P") + std::to_string(i + 1);
    }
    text += ")";
    shape.statement = &conn_.prepare(text);
    if (shape.statement->parameterNames().size() != line.columns.size()) return {};
  } catch (const std::exception&) {
    // Without the catalogue or the prepared form, the lines still run as text.
    return {};
  }
  return shape;
}

bool InsertFastPath::bindAll(const Shape& shape, const InsertLine& line) {
  db::Statement& statement = *shape.statement;
  for (size_t i = 0; i < line.valueCount; ++i) {
    const Literal& value = line.values[i];
    if (shape.isDateTime[i] && value.kind != Literal::Kind::Null) {
      if (value.kind != Literal::Kind::Text || !isIsoDate(value.text)) return false;
      const std::optional<db::DateTime> date = db::DateTime::parse(value.text);
      if (!date) return false;
      statement.bind(i, *date);
      continue;
    }
    switch (value.kind) {
      case Literal::Kind::Null:
        statement.bind(i, db::Value());
        break;
      case Literal::Kind::Int:
        statement.bind(i, value.intValue);
        break;
      case Literal::Kind::Double:
        statement.bind(i, value.doubleValue);
        break;
      case Literal::Kind::Text:
        statement.bind(i, value.text);
        break;
    }
  }
  return true;
}

}  // namespace download
