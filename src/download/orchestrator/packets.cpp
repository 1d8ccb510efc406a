#include "download/orchestrator/packets.h"

#include <string>
#include <vector>

#include "db/dataset/dataset.h"
#include "db/dataset/packet.h"
#include "download/query_rows.h"
#include "outside/app_server.h"

namespace download {
namespace {

bool isPacket(const db::Value& v) {
  if (v.kind() == db::Value::Kind::Bytes) return true;
  return v.kind() == db::Value::Kind::Text &&
         (db::looksLikeBinaryPacket(v.getText()) ||
          v.getText().find("<DATAPACKET") != std::string::npos);
}

bool isEmpty(const db::Value& v) {
  return v.isNull() || (v.kind() == db::Value::Kind::Text && v.getText().empty());
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
  db::DataSet packet;
  copyRowsInto(*rows, packet);
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
  for (size_t p = kSalesFirstPosition; p < kReturnText; ++p)
    if (mode.salesRequired || !isEmpty(reply[p])) requirePacket(reply, p, "vendas");
  const db::Value& text = reply[kReturnText];
  if (!text.isNull() && text.kind() != db::Value::Kind::Text)
    throw ReplyError("getTabelas: a posição 198 (retorno das vendas) trouxe " +
                     std::string(db::kindName(text.kind())) + " em vez de um texto");
  return reply;
}

}  // namespace download
