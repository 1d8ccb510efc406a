#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <thread>

#include "support/loopback.h"

namespace testing_support {

// A loopback listener that keeps the first request it reads and answers every connection with a
// fixed reply; with an empty reply it answers nothing and holds the connection (a stalled server).
class RawHttpServer {
 public:
  explicit RawHttpServer(std::string reply) : reply_(std::move(reply)) {
    fd_ = listenOnLoopback(8, port_);
    thread_ = std::thread([this] {
      for (int client; (client = ::accept(fd_, nullptr, nullptr)) >= 0;) {
        char buffer[8192];
        const ssize_t n = ::read(client, buffer, sizeof buffer);
        {
          std::lock_guard lock(mutex_);
          if (request_.empty() && n > 0) request_.assign(buffer, static_cast<size_t>(n));
        }
        if (reply_.empty()) {
          held_ = client;
          continue;
        }
        (void)::write(client, reply_.data(), reply_.size());
        ::close(client);
      }
    });
  }
  ~RawHttpServer() {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
    if (held_ >= 0) ::close(held_);
  }
  int port() const { return port_; }
  std::string request() {
    std::lock_guard lock(mutex_);
    return request_;
  }

 private:
  std::string reply_;
  int fd_ = -1;
  int held_ = -1;
  int port_ = 0;
  std::mutex mutex_;
  std::string request_;
  std::thread thread_;
};

}  // namespace testing_support
