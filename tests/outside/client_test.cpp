#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
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
        const db::Value result(db::ValueArray{db::Value(db::Bytes{1, 2}), db::Value("x")});
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

// A packet sink sees the packets and gets the reply through its file, which is gone afterwards,
// on success as on an error reply.
TEST(HttpAppServer, PacketsOfAReplyGoToTheSinkThroughItsFile) {
  struct Sink : PacketSink {
    std::filesystem::path file = std::filesystem::temp_directory_path() /
                                 ("kivtab-reply-" + std::to_string(::getpid()) + ".json");
    std::vector<std::string> packets;
    std::filesystem::path replyFile() const override { return file; }
    bool take(size_t, std::string_view packet) override {
      packets.emplace_back(packet);
      return true;
    }
  } sink;
  StubServer stub;
  auto server = makeHttpAppServer("rdmExpDados", [&] { return Endpoint{"127.0.0.1", stub.port}; });
  std::vector<db::Value> args{db::Value("0001")};
  const db::Value result = server->call("packets", args, sink);
  EXPECT_EQ(sink.packets, std::vector<std::string>{std::string("\x01\x02")});
  EXPECT_EQ(result, db::Value(db::ValueArray{db::Value(db::Bytes()), db::Value("x")}));
  EXPECT_EQ(args[0], db::Value("0001"));
  EXPECT_FALSE(std::filesystem::exists(sink.file));
  EXPECT_THROW(server->call("fails", args, sink), ServerError);
  EXPECT_FALSE(std::filesystem::exists(sink.file));
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
