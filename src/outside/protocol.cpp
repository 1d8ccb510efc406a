#include "outside/protocol.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <streambuf>

#include "db/core/base64.h"
#include "outside/app_server.h"

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

template <typename Decode>
auto decodePacket(Decode decode) {
  try {
    return decode();
  } catch (const std::invalid_argument& e) {
    throw ProtocolError(std::string("$packet: ") + e.what());
  }
}

// Hands a reply's text to the JSON lexer without the text of its "$packet" values: the lexer
// would keep two copies of each (its token and its error context), grown by doubling and held
// to the end of the read, the largest buffers of a reply. A left-out text is passed over a
// buffer at a time and read back from the stream once, at its exact size, when the lexer has
// closed its (then empty) string.
class PacketTextSkipper {
 public:
  explicit PacketTextSkipper(std::streambuf& body)
      : body_(body), base_(body.pubseekoff(0, std::ios::cur, std::ios::in)) {}

  // The next character for the lexer, EOF at the end; consume() moves past it.
  int peek() {
    if (!ready_) next_ = produce();
    ready_ = true;
    return next_;
  }
  void consume() { ready_ = false; }

  // The text of the string the lexer has just closed, when it was left out.
  std::optional<std::string> skippedText() {
    if (!skipped_) return std::nullopt;
    const Range range = *skipped_;
    skipped_.reset();
    std::string text(range.length, '\0');
    const auto resume = base_ + static_cast<std::streamoff>(bufferStart_ + end_);
    if (body_.pubseekpos(base_ + static_cast<std::streamoff>(range.start), std::ios::in) < 0 ||
        body_.sgetn(text.data(), static_cast<std::streamsize>(text.size())) !=
            static_cast<std::streamsize>(text.size()) ||
        body_.pubseekpos(resume, std::ios::in) < 0)
      throw ProtocolError("the reply cannot be read back for its packets");
    if (!range.escaped) return text;
    return json::parse("\"" + text + "\"").get<std::string>();
  }

 private:
  enum class State { Outside, InString, Escape, AfterKey, AfterColon, Skipping };
  struct Range {
    size_t start = 0;
    size_t length = 0;
    bool escaped = false;
  };
  static constexpr size_t kBufferSize = 1 << 16;
  static constexpr int kEnd = std::char_traits<char>::eof();

  // The offset in the reply of the next character.
  size_t offset() const { return bufferStart_ + begin_; }
  bool refill() {
    bufferStart_ += end_;
    begin_ = 0;
    end_ = static_cast<size_t>(std::max<std::streamsize>(
        0, body_.sgetn(buffer_.data(), static_cast<std::streamsize>(buffer_.size()))));
    return end_ > 0;
  }
  int bump() {
    if (begin_ == end_ && !refill()) return kEnd;
    return static_cast<unsigned char>(buffer_[begin_++]);
  }
  static bool isSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

  int produce() {
    if (state_ == State::Skipping) return skip();
    const int c = bump();
    if (c == kEnd) return c;
    switch (state_) {
      case State::InString:
        return inString(c);
      case State::Escape:
        state_ = State::InString;
        keyMatches_ = false;
        return c;
      case State::AfterKey:
      case State::AfterColon:
        if (isSpace(c)) return c;
        if (c == ':' && state_ == State::AfterKey) {
          state_ = State::AfterColon;
          return c;
        }
        if (c == '"' && state_ == State::AfterColon) {
          state_ = State::Skipping;
          return c;
        }
        state_ = State::Outside;
        break;
      default:
        break;
    }
    if (c == '"') {
      state_ = State::InString;
      keyLength_ = 0;
      keyMatches_ = true;
      skipped_.reset();
    }
    return c;
  }
  int inString(int c) {
    const std::string_view key = kPacketKey;
    if (c == '"') {
      state_ = keyMatches_ && keyLength_ == key.size() ? State::AfterKey : State::Outside;
    } else if (c == '\\') {
      state_ = State::Escape;
      keyMatches_ = false;
    } else if (keyLength_ < key.size() && key[keyLength_] == c) {
      ++keyLength_;
    } else {
      keyMatches_ = false;
    }
    return c;
  }
  // Passes over a packet's text up to its closing quote, which it returns.
  int skip() {
    Range range{offset(), 0, false};
    for (;;) {
      if (begin_ == end_ && !refill()) return kEnd;
      const char* from = buffer_.data() + begin_;
      const size_t available = end_ - begin_;
      const auto* quote = static_cast<const char*>(std::memchr(from, '"', available));
      const size_t scanned = quote ? static_cast<size_t>(quote - from) : available;
      if (const auto* escape = static_cast<const char*>(std::memchr(from, '\\', scanned))) {
        range.escaped = true;
        begin_ += static_cast<size_t>(escape - from) + 1;
        if (bump() == kEnd) return kEnd;
        continue;
      }
      begin_ += scanned;
      if (quote) break;
    }
    range.length = offset() - range.start;
    ++begin_;
    skipped_ = range;
    state_ = State::Outside;
    return '"';
  }

  std::streambuf& body_;
  const std::streampos base_;
  std::vector<char> buffer_ = std::vector<char>(kBufferSize);
  size_t bufferStart_ = 0;  // the reply offset of buffer_[0]
  size_t begin_ = 0;        // the next character in buffer_
  size_t end_ = 0;          // the end of what buffer_ holds
  State state_ = State::Outside;
  size_t keyLength_ = 0;
  bool keyMatches_ = false;
  std::optional<Range> skipped_;
  bool ready_ = false;
  int next_ = 0;
};

// The skipper as the character range the library's SAX reader takes.
class SkippedText {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = char;

  SkippedText() = default;
  explicit SkippedText(PacketTextSkipper& skipper) : skipper_(&skipper) {}

  char operator*() const { return static_cast<char>(skipper_->peek()); }
  SkippedText& operator++() {
    skipper_->consume();
    return *this;
  }
  bool operator==(const SkippedText& other) const { return atEnd() == other.atEnd(); }

 private:
  bool atEnd() const {
    return skipper_ == nullptr || skipper_->peek() == std::char_traits<char>::eof();
  }

  PacketTextSkipper* skipper_ = nullptr;
};

// Builds a reply's JSON as the library's own parser does, except that each packet of the result
// array goes to the taker from one buffer of its own: it is never copied into the tree.
class PacketTakingParser {
 public:
  PacketTakingParser(json& root, const PacketTaker& take, PacketTextSkipper& skipper)
      : dom_(root), take_(take), skipper_(skipper) {}

  bool null() {
    element();
    return dom_.null();
  }
  bool boolean(bool value) {
    element();
    return dom_.boolean(value);
  }
  bool number_integer(json::number_integer_t value) {
    element();
    return dom_.number_integer(value);
  }
  bool number_unsigned(json::number_unsigned_t value) {
    element();
    return dom_.number_unsigned(value);
  }
  bool number_float(json::number_float_t value, const std::string& text) {
    element();
    return dom_.number_float(value, text);
  }
  bool string(std::string& value) {
    element();
    std::optional<std::string> skipped = skipper_.skippedText();
    std::string& text = skipped ? *skipped : value;
    if (inResult_ && depth_ == 3 && innerKey_ == kPacketKey) offer(text);
    return dom_.string(text);
  }
  bool binary(json::binary_t& value) {
    element();
    return dom_.binary(value);
  }
  bool start_object(std::size_t size) {
    element();
    enter();
    return dom_.start_object(size);
  }
  bool key(std::string& name) {
    if (depth_ == 1) topKey_ = name;
    if (depth_ == 3) innerKey_ = name;
    return dom_.key(name);
  }
  bool end_object() {
    --depth_;
    return dom_.end_object();
  }
  bool start_array(std::size_t size) {
    element();
    if (depth_ == 1) inResult_ = topKey_ == "result";
    enter();
    return dom_.start_array(size);
  }
  bool end_array() {
    if (--depth_ == 1) inResult_ = false;
    return dom_.end_array();
  }
  bool parse_error(std::size_t position, const std::string& token,
                   const nlohmann::detail::exception& error) {
    return dom_.parse_error(position, token, error);
  }

 private:
  // The packet is decoded over its text, the largest buffer a reply holds; one the taker leaves
  // (a small one, outside the tables) goes back to its text for the tree.
  void offer(std::string& value) {
    const std::string_view packet = decodePacket([&] { return db::base64DecodeInPlace(value); });
    if (take_(elements_ - 1, packet))
      value.clear();
    else
      value = db::base64Encode(packet);
  }
  // A value begins: at depth 2 inside the result array it is the next position.
  void element() {
    if (!inResult_ || depth_ != 2) return;
    ++elements_;
    innerKey_.clear();
  }
  void enter() {
    if (++depth_ > kMaxDepth) throw ProtocolError("JSON nested deeper than allowed");
  }

  nlohmann::detail::json_sax_dom_parser<json> dom_;
  const PacketTaker& take_;
  PacketTextSkipper& skipper_;
  int depth_ = 0;
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
  if (it.key() == kPacketKey) return decodePacket([&] { return db::base64DecodeBytes(text); });
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
      return json{{kPacketKey, db::base64Encode(value.getBytes())}};
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

std::string encodeValue(const db::Value& value) {
  if (value.kind() != db::Value::Kind::Bytes) return dump(toJson(value));
  const db::Bytes& bytes = value.getBytes();
  std::string encoded;
  appendPacket(encoded,
               std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return encoded;
}

void appendPacket(std::string& out, std::string_view packet) {
  out.reserve(out.size() + (packet.size() + 2) / 3 * 4 + 16);
  out.append("{\"").append(kPacketKey).append("\":\"");
  db::base64Append(out, packet);
  out.append("\"}");
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
  json j;
  PacketTextSkipper skipper(*body.rdbuf());
  PacketTakingParser parser(j, take, skipper);
  try {
    json::sax_parse(SkippedText(skipper), SkippedText(), &parser);
  } catch (const json::exception& e) {
    throw ProtocolError(std::string("malformed JSON: ") + e.what());
  }
  return decodeParsed(j);
}

}  // namespace outside::protocol
