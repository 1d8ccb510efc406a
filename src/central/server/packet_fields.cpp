#include "central/server/packet_fields.h"

#include "db/core/text.h"
#include "db/dataset/packet.h"
#include "db/dataset/table.h"

namespace central::server {

std::vector<db::Value> fieldValues(const db::Bytes& packet, std::string_view field,
                                   std::string_view source) {
  auto table = db::readPacket(
      std::string_view(reinterpret_cast<const char*>(packet.data()), packet.size()), source);
  std::vector<db::Value> values;
  for (size_t f = 0; f < table->fields().size(); ++f) {
    if (!db::iequals(table->fields()[f].name, field)) continue;
    for (uint32_t slot : table->order()) values.push_back(table->get(slot, f));
  }
  return values;
}

}  // namespace central::server
