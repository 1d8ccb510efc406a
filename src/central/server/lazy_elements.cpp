#include "central/server/lazy_elements.h"

#include "outside/protocol.h"

namespace central::server {

LazyElement valueElement(db::Value value) {
  return [value = std::move(value)](std::string& json) {
    json += outside::protocol::encodeValue(value);
  };
}

LazyElement packetElement(std::function<std::string()> build) {
  return [build = std::move(build)](std::string& json) {
    outside::protocol::appendPacket(json, build());
  };
}

}  // namespace central::server
