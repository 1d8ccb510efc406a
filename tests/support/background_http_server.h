#pragma once

#include <httplib.h>

#include <chrono>
#include <thread>

namespace testing_support {

// An HTTP server on a free local port, listening on a thread of its own from start() until it
// is destroyed. Routes are set on server() before start().
class BackgroundHttpServer {
 public:
  BackgroundHttpServer() = default;
  BackgroundHttpServer(const BackgroundHttpServer&) = delete;
  BackgroundHttpServer& operator=(const BackgroundHttpServer&) = delete;
  ~BackgroundHttpServer() {
    if (!thread_.joinable()) return;
    server_.stop();
    thread_.join();
  }

  httplib::Server& server() { return server_; }

  void start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  int port() const { return port_; }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace testing_support
