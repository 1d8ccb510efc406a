#include "db/dataset/packet.h"

#include "db/dataset/table.h"

namespace db {

std::unique_ptr<Table> readPacket(std::string_view bytes, std::string_view source) {
  if (bytes.empty()) throw PacketError(std::string(source) + ": empty data packet");
  if (looksLikeBinaryPacket(bytes)) return readBinaryPacket(bytes, source);
  return readXmlPacket(bytes, source);
}

std::string writePacket(const Table& table, PacketFormat format) {
  return format == PacketFormat::Binary ? writeBinaryPacket(table) : writeXmlPacket(table);
}

}  // namespace db
