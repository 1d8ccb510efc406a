#include "outside/protocol.h"

#include <optional>

#include "outside/app_server.h"
#include "outside/base64.h"

namespace outside::protocol {
namespace {

using nlohmann::json;

constexpr const char* kDateKey = "$dt";
constexpr const char* kPacketKey = "$packet";
constexpr const char* kDateFormat = "yyyy-mm-ddThh:nn:ss.zzz";
constexpr size_t kDateLength = 23;

db::DateTime parseWireDate(const std::string& text) {
  if (text.size() != kDateLength || text[10] != 'T')
    throw ProtocolError("date-time \"" + text + "\" is not YYYY-MM-DDTHH:MM:SS.mmm");
  try {
    if (auto parsed = db::DateTime::parse(text)) return *parsed;
  } catch (const std::invalid_argument&) {
  }
  throw ProtocolError("date-time \"" + text + "\" is not a valid date");
}

db::Bytes decodePacket(const std::string& text) {
  try {
    return base64Decode(text);
  } catch (const std::invalid_argument& e) {
    throw ProtocolError(std::string("$packet: ") + e.what());
  }
}

// Follows the parse of a reply to know which position of the result array a packet belongs to.
class ResultPositions {
 public:
  using Event = json::parse_event_t;

  // The position whose packet `parsed` is, when the event is one.
  std::optional<size_t> packetAt(int depth, Event event, const json& parsed) {
    if (depth == 1) {
      if (event == Event::key) topKey_ = parsed.get<std::string>();
      if (event == Event::array_start) inResult_ = topKey_ == "result";
      if (event == Event::array_end) inResult_ = false;
      return std::nullopt;
    }
    if (!inResult_) return std::nullopt;
    if (depth == 2 &&
        (event == Event::object_start || event == Event::array_start || event == Event::value)) {
      ++elements_;
      innerKey_.clear();
    }
    if (depth != 3) return std::nullopt;
    if (event == Event::key) innerKey_ = parsed.get<std::string>();
    if (event == Event::value && innerKey_ == kPacketKey && parsed.is_string())
      return elements_ - 1;
    return std::nullopt;
  }

 private:
  std::string topKey_;
  std::string innerKey_;
  bool inResult_ = false;
  size_t elements_ = 0;
};

db::Value fromTaggedObject(const json& object) {
  if (object.size() != 1) throw ProtocolError("an object value must hold exactly $dt or $packet");
  auto it = object.begin();
  if (!it.value().is_string()) throw ProtocolError(it.key() + " must be a string");
  const auto& text = it.value().get_ref<const std::string&>();
  if (it.key() == kDateKey) return parseWireDate(text);
  if (it.key() == kPacketKey) return decodePacket(text);
  throw ProtocolError("unknown value tag \"" + it.key() + "\"");
}

std::vector<db::Value> argsFrom(const json& object) {
  auto it = object.find("args");
  if (it == object.end()) return {};
  if (!it->is_array()) throw ProtocolError("\"args\" must be an array");
  std::vector<db::Value> args;
  args.reserve(it->size());
  for (const auto& element : *it) args.push_back(fromJson(element));
  return args;
}

DecodedReply decodeParsed(const json& j) {
  if (!j.is_object()) throw ProtocolError("reply must be a JSON object");
  DecodedReply decoded;
  if (auto it = j.find("error"); it != j.end()) {
    decoded.isError = true;
    decoded.error = it->is_string() ? it->get<std::string>() : it->dump();
    return decoded;
  }
  if (!j.contains("result")) throw ProtocolError("reply holds neither \"result\" nor \"error\"");
  decoded.reply.result = fromJson(j["result"]);
  decoded.reply.args = argsFrom(j);
  return decoded;
}

json argsJson(const std::vector<db::Value>& args) {
  json array = json::array();
  for (const auto& arg : args) array.push_back(toJson(arg));
  return array;
}

}  // namespace

json toJson(const db::Value& value) {
  switch (value.kind()) {
    case db::Value::Kind::Null:
      return nullptr;
    case db::Value::Kind::Bool:
      return value.getBool();
    case db::Value::Kind::Int:
      return value.getInt();
    case db::Value::Kind::Double:
      return value.getDouble();
    case db::Value::Kind::Text:
      return value.getText();
    case db::Value::Kind::DateTime:
      return json{{kDateKey, value.getDateTime().format(kDateFormat)}};
    case db::Value::Kind::Bytes:
      return json{{kPacketKey, base64Encode(value.getBytes())}};
    case db::Value::Kind::Array: {
      json array = json::array();
      for (const auto& element : value.getArray()) array.push_back(toJson(element));
      return array;
    }
  }
  return nullptr;
}

db::Value fromJson(const json& j) {
  switch (j.type()) {
    case json::value_t::null:
      return db::Value();
    case json::value_t::boolean:
      return j.get<bool>();
    case json::value_t::number_integer:
      return j.get<int64_t>();
    case json::value_t::number_unsigned: {
      auto u = j.get<uint64_t>();
      if (u > static_cast<uint64_t>(INT64_MAX)) throw ProtocolError("integer out of range");
      return static_cast<int64_t>(u);
    }
    case json::value_t::number_float:
      return j.get<double>();
    case json::value_t::string:
      return j.get<std::string>();
    case json::value_t::array: {
      db::ValueArray array;
      array.reserve(j.size());
      for (const auto& element : j) array.push_back(fromJson(element));
      return array;
    }
    case json::value_t::object:
      return fromTaggedObject(j);
    default:
      throw ProtocolError("unsupported JSON value");
  }
}

std::string dump(const json& j) {
  try {
    return j.dump();
  } catch (const json::exception& e) {
    throw ProtocolError(std::string("value cannot be written as JSON: ") + e.what());
  }
}

json parse(std::string_view body) {
  auto limitDepth = [](int depth, json::parse_event_t, json&) {
    if (depth > kMaxDepth) throw ProtocolError("JSON nested deeper than allowed");
    return true;
  };
  try {
    return json::parse(body.begin(), body.end(), limitDepth);
  } catch (const json::exception& e) {
    throw ProtocolError(std::string("malformed JSON: ") + e.what());
  }
}

std::string encodeRequest(const std::vector<db::Value>& args) {
  return dump(json{{"args", argsJson(args)}});
}

std::vector<db::Value> decodeRequest(std::string_view body) {
  json j = parse(body);
  if (!j.is_object()) throw ProtocolError("request must be a JSON object");
  return argsFrom(j);
}

std::string encodeReply(const db::Value& result, const std::vector<db::Value>& args) {
  return dump(json{{"result", toJson(result)}, {"args", argsJson(args)}});
}

std::string encodeError(std::string_view text) {
  json j{{"error", std::string(text)}};
  try {
    return j.dump();
  } catch (const json::exception&) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
  }
}

DecodedReply decodeReply(std::string_view body) { return decodeParsed(parse(body)); }

DecodedReply decodeReply(std::istream& body, const PacketTaker& take) {
  ResultPositions positions;
  auto takePackets = [&](int depth, json::parse_event_t event, json& parsed) {
    if (depth > kMaxDepth) throw ProtocolError("JSON nested deeper than allowed");
    const auto position = positions.packetAt(depth, event, parsed);
    if (position && take(*position, bytesView(decodePacket(parsed.get_ref<const std::string&>()))))
      parsed = std::string();
    return true;
  };
  json j;
  try {
    j = json::parse(body, takePackets);
  } catch (const json::exception& e) {
    throw ProtocolError(std::string("malformed JSON: ") + e.what());
  }
  return decodeParsed(j);
}

}  // namespace outside::protocol
