#include "outside/protocol.h"

#include <gtest/gtest.h>

#include <sstream>

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

// Packets of the result array reach the taker by position as they are read; packets anywhere
// else in the reply, and those the taker leaves, stay where they were.
TEST(ProtocolReplies, StreamedReplyHandsResultPacketsOverByPosition) {
  const db::Bytes a{1, 2, 3}, b{4}, nested{5, 6}, arg{7};
  const db::Value result(db::ValueArray{db::Value(a), db::Value(),
                                        db::Value(db::ValueArray{db::Value(nested)}),
                                        db::Value("t"), db::Value(b)});
  std::istringstream body(protocol::encodeReply(result, {db::Value(arg)}));
  std::vector<std::pair<size_t, std::string>> taken;
  auto decoded = protocol::decodeReply(body, [&](size_t position, std::string_view packet) {
    taken.emplace_back(position, std::string(packet));
    return position != 4;
  });
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0], (std::pair<size_t, std::string>{0, "\x01\x02\x03"}));
  EXPECT_EQ(taken[1], (std::pair<size_t, std::string>{4, "\x04"}));
  const auto& positions = decoded.reply.result.getArray();
  EXPECT_EQ(positions[0], db::Value(db::Bytes()));
  EXPECT_EQ(positions[2], db::Value(db::ValueArray{db::Value(nested)}));
  EXPECT_EQ(positions[4], db::Value(b));
  EXPECT_EQ(decoded.reply.args, std::vector<db::Value>{db::Value(arg)});

  std::istringstream error(protocol::encodeError("Filial não encontrada"));
  EXPECT_EQ(protocol::decodeReply(error, [](size_t, std::string_view) { return true; }).error,
            "Filial não encontrada");
  std::istringstream bad(R"({"result": [{"$packet": "@@"}], "args": []})");
  EXPECT_THROW(protocol::decodeReply(bad, [](size_t, std::string_view) { return true; }),
               ProtocolError);
}

// Packets read back from the stream arrive whole whatever the reply's layout: spaces around the
// colon, escaped slashes, strings that only look like the key, packets outside the result array.
TEST(ProtocolReplies, StreamedPacketsSurviveTheReplysLayout) {
  std::string big(300000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 256);
  const std::string bigText = db::base64Encode(big);
  // "///+" over and over, every slash escaped, so escapes straddle the reader's buffers.
  std::string slashes;
  for (int i = 0; i < 30000; ++i) slashes += "\xff\xff\xfe";
  std::string escaped = db::base64Encode(slashes);
  for (size_t at = escaped.find('/'); at != std::string::npos; at = escaped.find('/', at + 2))
    escaped.insert(at, "\\");
  std::istringstream body(R"({"result" : [ {"$packet" :  ")" + bigText + R"("},)" +
                          R"( {"$packet":")" + escaped +
                          R"("}, ["$packet", "x\"$packet\":\"AA"],)" +
                          R"( "$packets", {"$packet":"QQ=="} ], "args": [{"$packet": "Bw=="}]})");
  std::vector<std::pair<size_t, std::string>> taken;
  auto decoded = protocol::decodeReply(body, [&](size_t position, std::string_view packet) {
    taken.emplace_back(position, std::string(packet));
    return position != 4;
  });
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(taken[0], (std::pair<size_t, std::string>{0, big}));
  EXPECT_EQ(taken[1], (std::pair<size_t, std::string>{1, slashes}));
  EXPECT_EQ(taken[2], (std::pair<size_t, std::string>{4, "A"}));
  const auto& positions = decoded.reply.result.getArray();
  EXPECT_EQ(positions[2],
            db::Value(db::ValueArray{db::Value("$packet"), db::Value("x\"$packet\":\"AA")}));
  EXPECT_EQ(positions[3], db::Value("$packets"));
  EXPECT_EQ(positions[4], db::Value(db::Bytes{'A'}));
  EXPECT_EQ(decoded.reply.args, std::vector<db::Value>{db::Value(db::Bytes{7})});

  std::istringstream cut(R"({"result": [{"$packet": "QQ==)");
  EXPECT_THROW(protocol::decodeReply(cut, [](size_t, std::string_view) { return true; }),
               ProtocolError);
}

}  // namespace
}  // namespace outside
