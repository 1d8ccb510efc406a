#pragma once

#include <functional>
#include <istream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/value.h"

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
// Takes the packet at a position of the result array as the reply is read; true when taken.
using PacketTaker = std::function<bool(size_t position, std::string_view packet)>;
// Reads a reply from a seekable stream (each packet's text is read back from it), handing each
// packet of the result array to `take` as soon as it is read, so that only one packet is held at a
// time; a taken packet reads back as an empty one.
DecodedReply decodeReply(std::istream& body, const PacketTaker& take);

}  // namespace outside::protocol
