#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/value.h"
#include "outside/packet_sink.h"

// The wire format shared by the client and the central server (docs/protocol.md):
// request {"args": [...]}, reply {"result": v, "args": [...]} or {"error": "text"}.
namespace outside::protocol {

// A body that is not valid protocol JSON.
class ProtocolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Nesting deeper than this is refused, so a hostile body cannot exhaust the stack.
constexpr int kMaxDepth = 64;

nlohmann::json toJson(const db::Value& value);
db::Value fromJson(const nlohmann::json& json);  // throws ProtocolError
// Compact JSON text of a value; throws ProtocolError for a text that is not UTF-8.
std::string dump(const nlohmann::json& json);
// The compact JSON text of one value, as dump(toJson(value)); a packet's base64 text (which
// needs no escaping) is written as it is, not passed through the JSON writer.
std::string encodeValue(const db::Value& value);
// Appends the JSON text of a data packet given by its bytes to `out`.
void appendPacket(std::string& out, std::string_view packet);
// Parses with the depth limit; throws ProtocolError.
nlohmann::json parse(std::string_view body);

std::string encodeRequest(const std::vector<db::Value>& args);
std::vector<db::Value> decodeRequest(std::string_view body);  // throws ProtocolError

struct Reply {
  db::Value result;
  std::vector<db::Value> args;
};
std::string encodeReply(const db::Value& result, const std::vector<db::Value>& args);
std::string encodeError(std::string_view text);
// Error replies come back with `error` set and nothing else; throws ProtocolError when malformed.
struct DecodedReply {
  bool isError = false;
  std::string error;
  Reply reply;
};
DecodedReply decodeReply(std::string_view body);
// Where a streamed reply comes from: up to `size` bytes into `into`, 0 at its end.
using ReplyReader = std::function<size_t(char* into, size_t size)>;
// Reads a reply as it arrives, handing the packets of the result array to `sink` piece by piece;
// a taken packet reads back as an empty one.
DecodedReply decodeReply(const ReplyReader& read, PacketSink& sink);

}  // namespace outside::protocol
