#pragma once

#include <memory>
#include <optional>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include "central/server/register_tokens.h"
#include "central/server/service.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace central::server {

class MethodTable;

// The reference central application server: remote methods over HTTP + JSON
// (docs/protocol.md) and the files it builds, over HTTP GET; over TLS when the options name a
// certificate, and only for registers with a token when they name a tokens file.
class CentralServer {
 public:
  explicit CentralServer(ServerOptions options);
  ~CentralServer();
  CentralServer(const CentralServer&) = delete;
  CentralServer& operator=(const CentralServer&) = delete;

  // Binds host:port (port 0 picks a free one) and returns the port; throws when it cannot.
  int bind(const std::string& host, int port);
  void serve();  // blocks until stop()
  void start();  // serve() on a background thread
  void stop();

  // Whether callers must present a register token.
  bool requiresTokens() const { return tokens_.has_value(); }

 private:
  void installRoutes();
  void installErrorReplies();
  // Whether the caller may have the file; a refusal is answered here.
  bool guardFile(const httplib::Request& req, httplib::Response& res);
  void answerMethod(const httplib::Request& req, httplib::Response& res);
  std::vector<db::Value> decodeArguments(const std::string& body);
  // The caller named by the request's token; nullptr when the server asks for none.
  const RegisterIdentity* caller(const httplib::Request& req) const;

  std::unique_ptr<Service> service_;
  std::unique_ptr<MethodTable> methods_;
  std::optional<RegisterTokens> tokens_;
  std::unique_ptr<httplib::Server> http_;
  // Decoded bodies take several times their size: few are decoded at once.
  std::counting_semaphore<> decoding_{2};
  std::thread thread_;
};

}  // namespace central::server
