#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace crash {

// What the proxy does to the first exchange whose path holds the fault's path text.
enum class ServerFault {
  None,
  ResetMidReply,  // half the reply, then a connection reset
  TruncatedBody,  // a reply complete as HTTP whose body lacks its second half (a cut zip)
  Status500,      // HTTP 500 with an empty body
  GarbageJson,    // 200 with a body that is not JSON
  BadPacket,      // the protocol's JSON with every data packet replaced by bytes that do not read
  Stall,          // the request is read and never answered
};

// A loopback proxy in front of the central server that spoils one exchange, then forwards the
// rest unchanged.
class FaultProxy {
 public:
  FaultProxy(int upstreamPort, ServerFault fault, std::string pathText);
  ~FaultProxy();
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  int port() const { return port_; }
  bool faulted() const { return faulted_; }

 private:
  void serve(int client);
  std::string forward(const std::string& method, const std::string& path, const std::string& body,
                      int& status);

  int upstreamPort_;
  ServerFault fault_;
  std::string pathText_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> faulted_{false};
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<std::thread> workers_;
  std::vector<int> held_;
};

}  // namespace crash
