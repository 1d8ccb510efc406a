#include "download/orchestrator_packets.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "db/dataset/dataset.h"
#include "db/dataset/packet.h"
#include "outside/app_server.h"

namespace download {
namespace {

constexpr int kDefaultTextWidth = 255;

std::string upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

int declaredWidth(std::string_view declared) {
  const auto open = declared.find('(');
  if (open == std::string_view::npos) return kDefaultTextWidth;
  try {
    return std::max(1, std::stoi(std::string(declared.substr(open + 1))));
  } catch (const std::exception&) {
    return kDefaultTextWidth;  // "(MAX)" and the like
  }
}

std::optional<db::FieldDef> fromDeclared(const db::Column& column) {
  const std::string type = upper(column.declaredType);
  auto has = [&type](const char* part) { return type.find(part) != std::string::npos; };
  using T = db::FieldType;
  if (has("CHAR") || has("TEXT")) return db::makeField(column.name, T::String, declaredWidth(type));
  if (has("DATE") || has("TIME")) return db::makeField(column.name, T::DateTime);
  if (has("BIGINT")) return db::makeField(column.name, T::Int64);
  if (has("SMALLINT") || has("TINYINT")) return db::makeField(column.name, T::Int16);
  if (has("INT")) return db::makeField(column.name, T::Int32);
  if (has("BIT")) return db::makeField(column.name, T::Boolean);
  if (has("DEC") || has("NUM") || has("FLOAT") || has("REAL") || has("MONEY") || has("DOUBLE"))
    return db::makeField(column.name, T::Float);
  return std::nullopt;
}

db::FieldDef fromValues(const std::string& name, const std::vector<std::vector<db::Value>>& rows,
                        size_t index) {
  using T = db::FieldType;
  size_t width = 1;
  for (const auto& row : rows) {
    const db::Value& v = row[index];
    switch (v.kind()) {
      case db::Value::Kind::Null:
        continue;
      case db::Value::Kind::Bool:
        return db::makeField(name, T::Boolean);
      case db::Value::Kind::Int:
        return db::makeField(name, T::Int64);
      case db::Value::Kind::Double:
        return db::makeField(name, T::Float);
      case db::Value::Kind::DateTime:
        return db::makeField(name, T::DateTime);
      case db::Value::Kind::Text:
        width = std::max(width, v.getText().size());
        continue;
      default:
        return db::makeField(name, T::Blob);
    }
  }
  return db::makeField(name, T::String, static_cast<int>(width));
}

bool isPacket(const db::Value& v) {
  if (v.kind() == db::Value::Kind::Bytes) return true;
  return v.kind() == db::Value::Kind::Text &&
         (db::looksLikeBinaryPacket(v.getText()) ||
          v.getText().find("<DATAPACKET") != std::string::npos);
}

void requirePacket(const db::ValueArray& reply, size_t position, std::string_view table) {
  const db::Value& v = reply[position];
  if (isPacket(v)) return;
  throw ReplyError("getTabelas: a posição " + std::to_string(position) + " (" + std::string(table) +
                   ") trouxe " + std::string(db::kindName(v.kind())) +
                   " em vez de um pacote de dados");
}

}  // namespace

db::Bytes queryPacket(db::Connection& conn, std::string_view sql, const db::Params& params) {
  auto rows = conn.query(sql, params);
  std::vector<std::vector<db::Value>> values;
  const size_t width = rows->columns().size();
  while (rows->next()) {
    auto& row = values.emplace_back();
    row.reserve(width);
    for (size_t i = 0; i < width; ++i) row.push_back(rows->at(i));
  }
  std::vector<db::FieldDef> fields;
  for (size_t i = 0; i < width; ++i) {
    const db::Column& column = rows->columns()[i];
    auto declared = fromDeclared(column);
    fields.push_back(declared ? *declared : fromValues(column.name, values, i));
  }
  db::DataSet packet;
  packet.createDataSet(std::move(fields));
  for (const auto& row : values) packet.appendRecord(row);
  return packet.data();
}

const db::ValueArray& checkTabelasReply(const db::Value& result, const ModeHandOver& mode) {
  if (result.kind() == db::Value::Kind::Text)
    throw outside::ServerError("getTabelas: " + result.getText());
  if (result.kind() != db::Value::Kind::Array)
    throw ReplyError("getTabelas devolveu " + std::string(db::kindName(result.kind())) +
                     " em vez da lista de tabelas");
  const db::ValueArray& reply = result.getArray();
  if (reply.size() < kReplyPositions)
    throw ReplyError("getTabelas devolveu " + std::to_string(reply.size()) +
                     " posições; são esperadas " + std::to_string(kReplyPositions));
  for (const HandOver& h : mode.positions)
    requirePacket(reply, static_cast<size_t>(h.position), h.table);
  constexpr size_t kReturnText = kSalesFirstPosition + 8;
  for (size_t p = kSalesFirstPosition; p < kReturnText; ++p) requirePacket(reply, p, "vendas");
  const db::Value& text = reply[kReturnText];
  if (!text.isNull() && text.kind() != db::Value::Kind::Text)
    throw ReplyError("getTabelas: a posição 198 (retorno das vendas) trouxe " +
                     std::string(db::kindName(text.kind())) + " em vez de um texto");
  return reply;
}

}  // namespace download
