#include "central/server/query_packets.h"

#include <algorithm>

#include "central/server/packet_builder.h"
#include "outside/protocol.h"

namespace central::server {
namespace {

bool sameParams(const db::Params& a, const db::Params& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.name == y.name && x.value == y.value;
  });
}

}  // namespace

void QueryPacket::take(db::Connection& db, std::string& json) {
  if (uses_ > 0) --uses_;
  if (read_) {
    json += text_;
    if (uses_ == 0) std::string().swap(text_);
    return;
  }
  const std::string packet = queryPacket(db, query_.fields, query_.sql, query_.params);
  if (uses_ == 0) {
    outside::protocol::appendPacket(json, packet);
    return;
  }
  outside::protocol::appendPacket(text_, packet);
  json += text_;
  read_ = true;
}

std::shared_ptr<QueryPacket> QueryPackets::of(TableQuery query) {
  auto [from, to] = bySql_.equal_range(query.sql);
  for (auto it = from; it != to; ++it) {
    if (!sameParams(it->second->query().params, query.params)) continue;
    it->second->addUse();
    return it->second;
  }
  std::string sql = query.sql;
  auto packet = std::make_shared<QueryPacket>(std::move(query));
  packet->addUse();
  bySql_.emplace(std::move(sql), packet);
  return packet;
}

}  // namespace central::server
