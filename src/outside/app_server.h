#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/value.h"
#include "outside/http_limits.h"
#include "outside/packet_sink.h"
#include "outside/transport_security.h"

namespace outside {

// Where the central application server listens; read again at every connect, so a change of
// the IPServer setting takes effect at the next connect.
struct Endpoint {
  std::string host;
  int port = 0;
  TransportSecurity security = {};
  HttpTimeouts timeouts = {};
};
using EndpointSource = std::function<Endpoint()>;

// A connection to one remote data module of the central application server ("rdmExpDados",
// "rdmAtualizaEstrutura"). Remote methods are called late-bound by name.
// Data packets travel as db::Value of kind Bytes (the binary packet); variant arrays as arrays.
class AppServer {
 public:
  virtual ~AppServer() = default;

  virtual void connect() = 0;  // throws outside::ServerError when the server cannot be reached
  virtual void disconnect() = 0;
  virtual bool connected() const = 0;

  // Calls `method` with `args`. By-reference arguments come back changed in `args`.
  // Throws outside::ServerError with the server's text on an error reply.
  virtual db::Value call(std::string_view method, std::vector<db::Value>& args) = 0;
  // As call(), handing the packets of the result array to `sink` as they are read. This default
  // reads the whole reply first; connections that can stream override it.
  virtual db::Value call(std::string_view method, std::vector<db::Value>& args, PacketSink& sink);
  db::Value call(std::string_view method) {
    std::vector<db::Value> none;
    return call(method, none);
  }
};

class ServerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The HTTP + JSON client of docs/protocol.md.
std::unique_ptr<AppServer> makeHttpAppServer(std::string objectName, EndpointSource endpoint);

}  // namespace outside
