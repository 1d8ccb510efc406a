#include "outside/protocol.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>

#include "db/core/base64.h"
#include "outside/packet_text.h"

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
// buffer at a time as it arrives: a packet the sink takes is decoded into it on the way, any
// other is collected and handed to the parser when the lexer has closed its (then empty) string.
class PacketTextSkipper {
 public:
  PacketTextSkipper(const ReplyReader& read, PacketSink& sink) : read_(read), sink_(sink) {}

  // The next character for the lexer, EOF at the end; consume() moves past it.
  int peek() {
    if (!ready_) next_ = produce();
    ready_ = true;
    return next_;
  }
  void consume() { ready_ = false; }

  // The next "$packet" text, if it comes before any other value, is the packet at `position` of
  // the result array; nothing: it is no such packet.
  void expectPacketAt(std::optional<size_t> position) { expected_ = position; }

  // The text of the string the lexer has just closed, when it was left out: empty for a packet
  // the sink took.
  std::optional<std::string> skippedText() {
    std::optional<std::string> text = std::move(skipped_);
    skipped_.reset();
    if (!text || !skippedEscapes_) return text;
    return json::parse("\"" + *text + "\"").get<std::string>();
  }

 private:
  enum class State { Outside, InString, Escape, AfterKey, AfterColon, Skipping };
  static constexpr size_t kBufferSize = 1 << 16;
  static constexpr int kEnd = std::char_traits<char>::eof();

  bool refill() {
    begin_ = 0;
    end_ = read_(buffer_.data(), buffer_.size());
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
    std::optional<PacketTextDecoder> decoder;
    if (expected_ && sink_.begin(*expected_)) decoder.emplace(sink_);
    expected_.reset();
    std::string collected;
    skippedEscapes_ = false;
    for (;;) {
      if (begin_ == end_ && !refill()) return kEnd;
      const char* from = buffer_.data() + begin_;
      const size_t available = end_ - begin_;
      const auto* quote = static_cast<const char*>(std::memchr(from, '"', available));
      const size_t scanned = quote ? static_cast<size_t>(quote - from) : available;
      const auto* escape = static_cast<const char*>(std::memchr(from, '\\', scanned));
      const size_t plain = escape ? static_cast<size_t>(escape - from) : scanned;
      if (decoder) {
        decoder->feed({from, plain});
      } else {
        collected.append(from, plain);
      }
      begin_ += plain;
      if (escape) {
        const std::optional<std::string> sequence = escapeSequence();
        if (!sequence) return kEnd;
        if (decoder) {
          decoder->feed(json::parse("\"" + *sequence + "\"").get<std::string>());
        } else {
          collected += *sequence;
          skippedEscapes_ = true;
        }
        continue;
      }
      if (quote) break;
    }
    ++begin_;
    if (decoder) decoder->finish();
    skipped_ = std::move(collected);
    state_ = State::Outside;
    return '"';
  }
  // The escape sequence at the reader, as it stands; nothing when the reply ends inside it.
  std::optional<std::string> escapeSequence() {
    std::string sequence(1, static_cast<char>(bump()));
    const int kind = bump();
    if (kind == kEnd) return std::nullopt;
    sequence += static_cast<char>(kind);
    for (int hex = kind == 'u' ? 4 : 0; hex > 0; --hex) {
      const int c = bump();
      if (c == kEnd) return std::nullopt;
      sequence += static_cast<char>(c);
    }
    return sequence;
  }

  const ReplyReader& read_;
  PacketSink& sink_;
  std::vector<char> buffer_ = std::vector<char>(kBufferSize);
  size_t begin_ = 0;  // the next character in buffer_
  size_t end_ = 0;    // the end of what buffer_ holds
  State state_ = State::Outside;
  size_t keyLength_ = 0;
  bool keyMatches_ = false;
  std::optional<size_t> expected_;
  std::optional<std::string> skipped_;
  bool skippedEscapes_ = false;
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

// Builds a reply's JSON as the library's own parser does, except that the packets of the result
// array the sink takes go to it as they are read: they are never copied into the tree.
class PacketTakingParser {
 public:
  PacketTakingParser(json& root, PacketTextSkipper& skipper) : dom_(root), skipper_(skipper) {}

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
    return dom_.string(skipped ? *skipped : value);
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
    if (inResult_ && depth_ == 3 && name == kPacketKey) skipper_.expectPacketAt(elements_ - 1);
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
  // A value begins: at depth 2 inside the result array it is the next position. A packet
  // announced to the skipper is its next value or none.
  void element() {
    skipper_.expectPacketAt(std::nullopt);
    if (!inResult_ || depth_ != 2) return;
    ++elements_;
  }
  void enter() {
    if (++depth_ > kMaxDepth) throw ProtocolError("JSON nested deeper than allowed");
  }

  nlohmann::detail::json_sax_dom_parser<json> dom_;
  PacketTextSkipper& skipper_;
  int depth_ = 0;
  std::string topKey_;
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

DecodedReply decodeReply(const ReplyReader& read, PacketSink& sink) {
  json j;
  PacketTextSkipper skipper(read, sink);
  PacketTakingParser parser(j, skipper);
  try {
    json::sax_parse(SkippedText(skipper), SkippedText(), &parser);
  } catch (const json::exception& e) {
    throw ProtocolError(std::string("malformed JSON: ") + e.what());
  }
  return decodeParsed(j);
}

}  // namespace outside::protocol
