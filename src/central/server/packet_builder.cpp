#include "central/server/packet_builder.h"

#include <charconv>

#include "db/core/text.h"
#include "db/dataset/row_packet_writer.h"

namespace central::server {
namespace {

// The numbers inside "NAME(a,b)"; missing ones stay 0.
void typeArguments(std::string_view type, int& first, int& second) {
  first = second = 0;
  auto open = type.find('(');
  if (open == std::string_view::npos) return;
  std::string_view rest = type.substr(open + 1);
  auto [p, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), first);
  if (ec != std::errc() || p >= rest.data() + rest.size() || *p != ',') return;
  ++p;
  std::from_chars(p, rest.data() + rest.size(), second);
}

}  // namespace

db::FieldDef fieldFor(const central::Column& column) {
  const std::string type = db::upper(column.type);
  const std::string base = type.substr(0, type.find('('));
  int first = 0, second = 0;
  typeArguments(type, first, second);
  const bool required = !column.nullable;
  if (base == "VARCHAR" || base == "CHAR" || base == "NVARCHAR" || base == "VARCHAR2") {
    if (type.find("MAX") != std::string::npos) {
      db::FieldDef def = db::makeField(column.name, db::FieldType::Blob, 0, required);
      def.subtype = "Text";
      return def;
    }
    return db::makeField(column.name, db::FieldType::String, first > 0 ? first : 255, required);
  }
  if (base == "DECIMAL" || base == "NUMERIC" || base == "NUMBER") {
    db::FieldDef def =
        db::makeField(column.name, db::FieldType::Bcd, first > 0 ? first : 18, required);
    def.decimals = second;
    return def;
  }
  if (base == "DATETIME" || base == "DATE" || base == "SMALLDATETIME")
    return db::makeField(column.name, db::FieldType::DateTime, 0, required);
  if (base == "INT" || base == "INTEGER" || base == "SMALLINT" || base == "TINYINT")
    return db::makeField(column.name, db::FieldType::Int32, 0, required);
  if (base == "BIGINT") return db::makeField(column.name, db::FieldType::Int64, 0, required);
  if (base == "FLOAT" || base == "REAL")
    return db::makeField(column.name, db::FieldType::Float, 0, required);
  if (base == "BIT") return db::makeField(column.name, db::FieldType::Boolean, 0, required);
  if (base == "TEXT") {
    db::FieldDef def = db::makeField(column.name, db::FieldType::Blob, 0, required);
    def.subtype = "Text";
    return def;
  }
  return db::makeField(column.name, db::FieldType::Blob, 0, required);
}

std::string queryPacket(db::Connection& db, const std::vector<db::FieldDef>& fields,
                        const std::string& sql, const db::Params& params, size_t firstRow,
                        size_t lastRow) {
  db::RowPacketWriter packet(fields);
  db::Statement& statement = db.prepare(sql);
  statement.bind(params);
  auto rows = statement.query();
  const size_t width = std::min(fields.size(), rows->columns().size());
  for (size_t number = 1; number <= lastRow && rows->next(); ++number) {
    if (number < firstRow) continue;
    packet.appendRow();
    for (size_t i = 0; i < width; ++i) packet.set(i, rows->at(i));
  }
  rows.reset();
  return packet.finish();
}

std::string rowsPacket(const std::vector<db::FieldDef>& fields,
                       const std::vector<std::vector<db::Value>>& rows) {
  db::RowPacketWriter packet(fields);
  for (const auto& row : rows) {
    packet.appendRow();
    for (size_t i = 0; i < row.size() && i < fields.size(); ++i) packet.set(i, row[i]);
  }
  return packet.finish();
}

db::Value packetValue(const std::string& packet) {
  return db::Value(db::Bytes(packet.begin(), packet.end()));
}

}  // namespace central::server
