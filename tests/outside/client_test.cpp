#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <thread>

#include "outside/app_server.h"
#include "outside/protocol.h"

namespace outside {
namespace {

// A stand-in server: echoes arguments changed the way by-reference arguments change.
class StubServer {
 public:
  StubServer() {
    http_.Get("/ping", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("ok", "text/plain");
    });
    http_.Post(R"(/(\w+)/(\w+))", [this](const httplib::Request& req, httplib::Response& res) {
      lastPath = req.path;
      std::string method = req.matches[2];
      auto args = protocol::decodeRequest(req.body);
      if (method == "fails") {
        res.set_content(protocol::encodeError("Caixa 009 bloqueado"), "application/json");
      } else if (method == "status500") {
        res.status = 500;
        res.set_content(protocol::encodeError("falha interna"), "application/json");
      } else if (method == "plain404") {
        res.status = 404;
      } else if (method == "packets") {
        const db::Value result(
            db::ValueArray{db::Value(db::Bytes{1, 2}), db::Value("x"),
                           db::Value(db::Bytes(largePacket().begin(), largePacket().end()))});
        res.set_content(protocol::encodeReply(result, args), "application/json");
      } else if (method == "stalls") {
        std::this_thread::sleep_for(std::chrono::seconds(6));
        res.set_content(protocol::encodeReply(db::Value(), args), "application/json");
      } else if (method == "endless") {
        res.set_content(std::string(3 << 20, ' '), "application/json");
      } else if (method == "dropsArgs") {
        res.set_content(protocol::encodeReply(db::Value(), {}), "application/json");
      } else {
        for (auto& a : args)
          if (a.kind() == db::Value::Kind::Text) a = db::Value(a.getText() + "!");
        res.set_content(protocol::encodeReply(db::Value(int64_t(args.size())), args),
                        "application/json");
      }
    });
    port = http_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { http_.listen_after_bind(); });
    while (!http_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~StubServer() {
    http_.stop();
    thread_.join();
  }
  int port = 0;
  std::string lastPath;

  // Several times what the client lets wait before it pauses the transfer.
  static const std::string& largePacket() {
    static const std::string packet = [] {
      std::string bytes(3 << 20, '\0');
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31 % 251);
      return bytes;
    }();
    return packet;
  }

 private:
  httplib::Server http_;
  std::thread thread_;
};

TEST(HttpAppServer, ByReferenceArgumentsComeBackChanged) {
  StubServer stub;
  auto server = makeHttpAppServer("rdmExpDados", [&] {
    return Endpoint{"127.0.0.1", stub.port, {}};
  });
  server->connect();
  EXPECT_TRUE(server->connected());
  std::vector<db::Value> args{db::Value("0001"), db::Value(int64_t{5})};
  db::Value result = server->call("getNRORG", args);
  EXPECT_EQ(result, db::Value(int64_t{2}));
  EXPECT_EQ(args[0], db::Value("0001!"));
  EXPECT_EQ(args[1], db::Value(int64_t{5}));
  EXPECT_EQ(stub.lastPath, "/rdmExpDados/getNRORG");
}

// Takes every packet, recording each whole.
struct RecordingSink : PacketSink {
  std::vector<std::string> packets;
  int ended = 0;
  bool begin(size_t) override {
    packets.emplace_back();
    return true;
  }
  void append(std::string_view bytes) override { packets.back() += bytes; }
  void end() override { ++ended; }
};

// The sink sees the packets as the reply arrives, a large one whole (the transfer pauses while
// the reader is behind); the rest of the reply comes back as from a plain call.
TEST(HttpAppServer, PacketsOfAReplyGoToTheSinkAsTheyArrive) {
  StubServer stub;
  auto server = makeHttpAppServer("rdmExpDados", [&] { return Endpoint{"127.0.0.1", stub.port}; });
  RecordingSink sink;
  std::vector<db::Value> args{db::Value("0001")};
  const db::Value result = server->call("packets", args, sink);
  ASSERT_EQ(sink.packets.size(), 2u);
  EXPECT_EQ(sink.packets[0], std::string("\x01\x02"));
  EXPECT_EQ(sink.packets[1], StubServer::largePacket());
  EXPECT_EQ(sink.ended, 2);
  EXPECT_EQ(result, db::Value(db::ValueArray{db::Value(db::Bytes()), db::Value("x"),
                                             db::Value(db::Bytes())}));
  EXPECT_EQ(args[0], db::Value("0001"));
  EXPECT_THROW(server->call("fails", args, sink), ServerError);
  EXPECT_THROW(server->call("plain404", args, sink), ServerError);
}

TEST(HttpAppServer, ErrorRepliesRaiseWithTheServersText) {
  StubServer stub;
  auto server = makeHttpAppServer("rdmExpDados", [&] {
    return Endpoint{"127.0.0.1", stub.port, {}};
  });
  auto messageOf = [&](const char* method) {
    try {
      server->call(method);
    } catch (const ServerError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(messageOf("fails"), "Caixa 009 bloqueado");
  EXPECT_EQ(messageOf("status500"), "falha interna");
  EXPECT_NE(messageOf("plain404").find("404"), std::string::npos);
  std::vector<db::Value> one{db::Value("x")};
  EXPECT_THROW(server->call("dropsArgs", one), ServerError);
}

TEST(HttpAppServer, UnreachableServerIsAClearError) {
  int freePort = 0;
  {
    StubServer stub;
    freePort = stub.port;
  }
  auto server = makeHttpAppServer("rdmExpDados", [&] {
    return Endpoint{"127.0.0.1", freePort, {}};
  });
  try {
    server->connect();
    FAIL() << "connected to a closed port";
  } catch (const ServerError& e) {
    EXPECT_NE(std::string(e.what()).find("127.0.0.1"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(server->connected());
  auto bad = makeHttpAppServer("rdmExpDados", [] { return Endpoint{"", 0, {}}; });
  EXPECT_THROW(bad->connect(), ServerError);
}

TEST(HttpAppServer, AStalledServerOrAnEndlessReplyFailsWithinTheLimits) {
  StubServer stub;
  Endpoint endpoint{"127.0.0.1", stub.port};
  endpoint.timeouts.stall = std::chrono::seconds(1);
  endpoint.timeouts.maxReplyBytes = 1 << 20;
  auto server = makeHttpAppServer("rdmExpDados", [&] { return endpoint; });
  server->connect();
  const auto started = std::chrono::steady_clock::now();
  try {
    server->call("stalls");
    FAIL() << "a stalled reply was waited for";
  } catch (const ServerError& e) {
    EXPECT_NE(std::string(e.what()).find("/rdmExpDados/stalls"), std::string::npos) << e.what();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(4000));
  try {
    server->call("endless");
    FAIL() << "a reply above the limit was taken";
  } catch (const ServerError& e) {
    EXPECT_NE(std::string(e.what()).find("exceeds 1048576 bytes"), std::string::npos) << e.what();
  }
  // The same limits hold for a reply read as it arrives.
  RecordingSink sink;
  std::vector<db::Value> none;
  const auto streamed = std::chrono::steady_clock::now();
  EXPECT_THROW(server->call("stalls", none, sink), ServerError);
  EXPECT_LT(std::chrono::steady_clock::now() - streamed, std::chrono::milliseconds(4000));
  try {
    server->call("endless", none, sink);
    FAIL() << "a streamed reply above the limit was taken";
  } catch (const ServerError& e) {
    EXPECT_NE(std::string(e.what()).find("exceeds 1048576 bytes"), std::string::npos) << e.what();
  }
}

TEST(HttpAppServer, EndpointIsReadAgainAtEveryConnect) {
  StubServer first, second;
  int reads = 0;
  auto server = makeHttpAppServer("rdmExpDados", [&] {
    ++reads;
    return Endpoint{"127.0.0.1", reads == 1 ? first.port : second.port, {}};
  });
  server->connect();
  server->call("one");
  server->disconnect();
  server->connect();
  server->call("two");
  EXPECT_EQ(reads, 2);
  EXPECT_EQ(first.lastPath, "/rdmExpDados/one");
  EXPECT_EQ(second.lastPath, "/rdmExpDados/two");
}

}  // namespace
}  // namespace outside
