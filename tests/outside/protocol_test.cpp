#include "outside/protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "db/core/base64.h"

namespace outside {
namespace {

using protocol::ProtocolError;

TEST(ProtocolValues, EveryKindSurvivesTheRoundTrip) {
  db::Bytes packet{0x96, 0x19, 0xE0, 0xBD, 0x00, 0xFF};
  db::ValueArray nested{db::Value(), db::Value(int64_t{7}), db::Value("x")};
  std::vector<db::Value> args{db::Value(),
                              db::Value(true),
                              db::Value(int64_t{1} << 40),
                              db::Value(2.5),
                              db::Value(3.0),
                              db::Value("São Paulo"),
                              db::Value(db::DateTime::fromParts(1985, 1, 1, 12, 0, 0, 7)),
                              db::Value(db::DateTime()),
                              db::Value(packet),
                              db::Value(nested)};
  auto decoded = protocol::decodeRequest(protocol::encodeRequest(args));
  ASSERT_EQ(decoded.size(), args.size());
  for (size_t i = 0; i < args.size(); ++i) EXPECT_EQ(decoded[i], args[i]) << "argument " << i;
  // Integers stay integers and doubles stay doubles, even when whole.
  EXPECT_EQ(decoded[2].kind(), db::Value::Kind::Int);
  EXPECT_EQ(decoded[4].kind(), db::Value::Kind::Double);
}

TEST(ProtocolValues, WireFormsAreTheDocumentedOnes) {
  auto date = protocol::toJson(db::Value(db::DateTime::fromParts(2026, 12, 7, 6, 30, 0, 5)));
  EXPECT_EQ(date.dump(), R"({"$dt":"2026-12-07T06:30:00.005"})");
  EXPECT_EQ(protocol::toJson(db::Value(db::Bytes{'M', 'a'})).dump(), R"({"$packet":"TWE="})");
  // The reply writer's own path for packets writes what the JSON writer would.
  for (const db::Value& v : {db::Value(db::Bytes{'M', 'a'}), db::Value(db::Bytes{}),
                             db::Value("a\"b"), db::Value(db::ValueArray{1, "x"})})
    EXPECT_EQ(protocol::encodeValue(v), protocol::dump(protocol::toJson(v)));
}

TEST(ProtocolValues, MalformedBodiesAreRefused) {
  for (const char* body :
       {"", "{", "[1]", R"({"args": 5})", R"({"args": [{"$dt": "2026-13-01T00:00:00.000"}]})",
        R"({"args": [{"$dt": "2026-01-01 00:00:00.000"}]})", R"({"args": [{"$packet": "a=b"}]})",
        R"({"args": [{"other": 1}]})", R"({"args": [18446744073709551615]})"}) {
    EXPECT_THROW(protocol::decodeRequest(body), ProtocolError) << body;
  }
}

TEST(ProtocolValues, DeepNestingIsRefusedNotFollowed) {
  std::string deep = R"({"args": )" + std::string(100000, '[') + std::string(100000, ']') + "}";
  EXPECT_THROW(protocol::decodeRequest(deep), ProtocolError);
}

TEST(ProtocolReplies, ErrorAndResultReplies) {
  auto error = protocol::decodeReply(protocol::encodeError("Filial não encontrada"));
  EXPECT_TRUE(error.isError);
  EXPECT_EQ(error.error, "Filial não encontrada");
  auto ok = protocol::decodeReply(protocol::encodeReply(db::Value("r"), {db::Value("a")}));
  EXPECT_FALSE(ok.isError);
  EXPECT_EQ(ok.reply.result, db::Value("r"));
  EXPECT_EQ(ok.reply.args, std::vector<db::Value>{db::Value("a")});
  EXPECT_THROW(protocol::decodeReply(R"({"args": []})"), ProtocolError);
}

// Takes the packets of the result array except those at `left`, recording each whole.
struct RecordingSink : PacketSink {
  std::vector<size_t> left;
  std::vector<std::pair<size_t, std::string>> taken;
  int ended = 0;
  bool begin(size_t position) override {
    if (std::find(left.begin(), left.end(), position) != left.end()) return false;
    taken.emplace_back(position, "");
    return true;
  }
  void append(std::string_view bytes) override { taken.back().second += bytes; }
  void end() override { ++ended; }
};

// A reply as it arrives, at most `piece` bytes at a time.
protocol::ReplyReader readerOf(const std::string& body, size_t piece) {
  return [&body, piece, at = size_t{0}](char* into, size_t size) mutable {
    const size_t count = std::min({size, piece, body.size() - at});
    std::memcpy(into, body.data() + at, count);
    at += count;
    return count;
  };
}

protocol::DecodedReply decodeStreamed(const std::string& body, PacketSink& sink,
                                      size_t piece = 1 << 16) {
  return protocol::decodeReply(readerOf(body, piece), sink);
}

// Packets of the result array reach the sink by position as they are read; packets anywhere
// else in the reply, and those the sink leaves, stay where they were.
TEST(ProtocolReplies, StreamedReplyHandsResultPacketsOverByPosition) {
  const db::Bytes a{1, 2, 3}, b{4}, nested{5, 6}, arg{7};
  const db::Value result(db::ValueArray{db::Value(a), db::Value(),
                                        db::Value(db::ValueArray{db::Value(nested)}),
                                        db::Value("t"), db::Value(b)});
  RecordingSink sink;
  sink.left = {4};
  auto decoded = decodeStreamed(protocol::encodeReply(result, {db::Value(arg)}), sink);
  ASSERT_EQ(sink.taken.size(), 1u);
  EXPECT_EQ(sink.taken[0], (std::pair<size_t, std::string>{0, "\x01\x02\x03"}));
  EXPECT_EQ(sink.ended, 1);
  const auto& positions = decoded.reply.result.getArray();
  EXPECT_EQ(positions[0], db::Value(db::Bytes()));
  EXPECT_EQ(positions[2], db::Value(db::ValueArray{db::Value(nested)}));
  EXPECT_EQ(positions[4], db::Value(b));
  EXPECT_EQ(decoded.reply.args, std::vector<db::Value>{db::Value(arg)});

  EXPECT_EQ(decodeStreamed(protocol::encodeError("Filial não encontrada"), sink).error,
            "Filial não encontrada");
}

// Packets arrive whole whatever the reply's layout and however it is cut as it arrives: spaces
// around the colon, escaped slashes and letters, strings that only look like the key, packets
// outside the result array.
TEST(ProtocolReplies, StreamedPacketsSurviveTheReplysLayout) {
  std::string big(300000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 256);
  const std::string bigText = db::base64Encode(big);
  // "///+" over and over, every slash escaped, so escapes straddle the reader's pieces.
  std::string slashes;
  for (int i = 0; i < 30000; ++i) slashes += "\xff\xff\xfe";
  std::string escaped = db::base64Encode(slashes);
  for (size_t at = escaped.find('/'); at != std::string::npos; at = escaped.find('/', at + 2))
    escaped.insert(at, "\\");
  const std::string body =
      R"({"result" : [ {"$packet" :  ")" + bigText + R"("},)" + R"( {"$packet":")" + escaped +
      R"("}, ["$packet", "x\"$packet\":\"AA"],)" +
      R"( "$packets", {"$packet":"Q\u0051=="}, "QUFB" ],)" + R"( "args": [{"$packet": "Bw=="}]})";
  for (const size_t piece : {size_t{1}, size_t{3}, size_t{7}, size_t{1} << 16}) {
    RecordingSink sink;
    sink.left = {4};
    auto decoded = decodeStreamed(body, sink, piece);
    ASSERT_EQ(sink.taken.size(), 2u) << piece;
    EXPECT_EQ(sink.taken[0], (std::pair<size_t, std::string>{0, big}));
    EXPECT_EQ(sink.taken[1], (std::pair<size_t, std::string>{1, slashes}));
    const auto& positions = decoded.reply.result.getArray();
    EXPECT_EQ(positions[2],
              db::Value(db::ValueArray{db::Value("$packet"), db::Value("x\"$packet\":\"AA")}));
    EXPECT_EQ(positions[3], db::Value("$packets"));
    EXPECT_EQ(positions[4], db::Value(db::Bytes{'A'}));
    EXPECT_EQ(positions[5], db::Value("QUFB"));
    EXPECT_EQ(decoded.reply.args, std::vector<db::Value>{db::Value(db::Bytes{7})});
  }
}

// A taken packet whose text the whole would be refused for is refused as it streams, also where
// the fault lies in a later block than its start; a packet cut short is never ended.
TEST(ProtocolReplies, StreamedPacketsAreRefusedAsTheWholeTextWouldBe) {
  const std::string block(1 << 16, 'A');
  for (const std::string& text :
       std::vector<std::string>{"@@@@", "QQ==QUFB", block.substr(0, 65532) + "QQ==" + "QUFB",
                                block + "QUF", block + "QU\"B", "QQ\\u00e9=", "QQ\\x=="}) {
    RecordingSink sink;
    const std::string body = R"({"result": [{"$packet": ")" + text + R"("}], "args": []})";
    EXPECT_THROW(decodeStreamed(body, sink, 5000), ProtocolError) << text.substr(0, 20);
    EXPECT_EQ(sink.ended, 0) << text.substr(0, 20);
  }
  for (const std::string cut :
       {R"({"result": [{"$packet": "QQ==)", R"({"result": [{"$packet": "QQ\u00)"}) {
    RecordingSink sink;
    EXPECT_THROW(decodeStreamed(cut, sink, 3), ProtocolError) << cut;
    EXPECT_EQ(sink.ended, 0) << cut;
  }
}

}  // namespace
}  // namespace outside
