#pragma once

#include <memory>
#include <string>
#include <thread>

#include "central/server/service.h"

namespace httplib {
class Server;
}

namespace central::server {

class MethodTable;

// The reference central application server: remote methods over HTTP + JSON
// (docs/protocol.md) and the files it builds, over HTTP GET.
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

 private:
  void installRoutes();

  std::unique_ptr<Service> service_;
  std::unique_ptr<MethodTable> methods_;
  std::unique_ptr<httplib::Server> http_;
  std::thread thread_;
};

}  // namespace central::server
