#include "central/server/query_packets.h"

#include <algorithm>

#include "central/server/packet_builder.h"

namespace central::server {
namespace {

bool sameParams(const db::Params& a, const db::Params& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.name == y.name && x.value == y.value;
  });
}

}  // namespace

db::Value QueryPacket::take(db::Connection& db) {
  if (!read_) {
    packet_ = db::Value(queryPacket(db, query_.fields, query_.sql, query_.params));
    read_ = true;
  }
  if (uses_ > 0 && --uses_ == 0) return std::move(packet_);
  return packet_;
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
