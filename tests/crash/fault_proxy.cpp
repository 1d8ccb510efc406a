#include "crash/fault_proxy.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <regex>

namespace crash {
namespace {

bool readRequest(int client, std::string& method, std::string& path, std::string& body) {
  std::string data;
  char buffer[65536];
  size_t headerEnd = std::string::npos;
  while (headerEnd == std::string::npos) {
    const ssize_t n = ::read(client, buffer, sizeof buffer);
    if (n <= 0) return false;
    data.append(buffer, static_cast<size_t>(n));
    headerEnd = data.find("\r\n\r\n");
  }
  const std::string head = data.substr(0, headerEnd);
  std::smatch line;
  if (!std::regex_search(head, line, std::regex(R"(^(\w+) (\S+) )"))) return false;
  method = line[1];
  path = line[2];
  size_t length = 0;
  std::smatch header;
  if (std::regex_search(head, header,
                        std::regex(R"(\r\ncontent-length: *(\d+))", std::regex::icase)))
    length = std::stoul(header[1]);
  if (std::regex_search(head, std::regex(R"(\r\nexpect: *100-continue)", std::regex::icase))) {
    const std::string goOn = "HTTP/1.1 100 Continue\r\n\r\n";
    (void)::write(client, goOn.data(), goOn.size());
  }
  body = data.substr(headerEnd + 4);
  while (body.size() < length) {
    const ssize_t n = ::read(client, buffer, sizeof buffer);
    if (n <= 0) return false;
    body.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

void writeAll(int client, const std::string& data) {
  for (size_t sent = 0; sent < data.size();) {
    const ssize_t n = ::write(client, data.data() + sent, data.size() - sent);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

std::string response(int status, const std::string& body) {
  return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: application/json\r\n" +
         "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// Every packet of the reply becomes eight bytes that are no binary packet.
std::string spoilPackets(const std::string& json) {
  static const std::string kKey = "\"$packet\"";
  std::string out;
  size_t from = 0;
  for (size_t at; (at = json.find(kKey, from)) != std::string::npos;) {
    const size_t open = json.find('"', at + kKey.size());
    const size_t close = json.find('"', open + 1);
    if (open == std::string::npos || close == std::string::npos) break;
    out += json.substr(from, open + 1 - from) + "AAAAAAAAAAA=";
    from = close;
  }
  return out + json.substr(from);
}

}  // namespace

FaultProxy::FaultProxy(int upstreamPort, ServerFault fault, std::string pathText)
    : upstreamPort_(upstreamPort), fault_(fault), pathText_(std::move(pathText)) {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  ::listen(fd_, 16);
  acceptor_ = std::thread([this] {
    for (int client; (client = ::accept(fd_, nullptr, nullptr)) >= 0;) {
      std::lock_guard lock(mutex_);
      workers_.emplace_back([this, client] { serve(client); });
    }
  });
}

FaultProxy::~FaultProxy() {
  ::shutdown(fd_, SHUT_RDWR);
  ::close(fd_);
  acceptor_.join();
  {
    std::lock_guard lock(mutex_);
    for (int held : held_) ::shutdown(held, SHUT_RDWR);
  }
  for (auto& worker : workers_) worker.join();
  for (int held : held_) ::close(held);
}

std::string FaultProxy::forward(const std::string& method, const std::string& path,
                                const std::string& body, int& status) {
  httplib::Client upstream("127.0.0.1", upstreamPort_);
  upstream.set_read_timeout(600, 0);
  auto result =
      method == "POST" ? upstream.Post(path, body, "application/json") : upstream.Get(path);
  if (!result) {
    status = 502;
    return {};
  }
  status = result->status;
  return result->body;
}

void FaultProxy::serve(int client) {
  std::string method, path, body;
  if (!readRequest(client, method, path, body)) {
    ::close(client);
    return;
  }
  bool spoil = false;
  if (fault_ != ServerFault::None && path.find(pathText_) != std::string::npos)
    spoil = !faulted_.exchange(true);
  if (spoil && fault_ == ServerFault::Stall) {
    std::lock_guard lock(mutex_);
    held_.push_back(client);
    return;
  }
  int status = 0;
  std::string reply = forward(method, path, body, status);
  // File addresses the server hands out lead through the proxy too.
  const std::string upstream = "127.0.0.1:" + std::to_string(upstreamPort_);
  const std::string here = "127.0.0.1:" + std::to_string(port_);
  for (size_t at = 0; (at = reply.find(upstream, at)) != std::string::npos; at += here.size())
    reply.replace(at, upstream.size(), here);
  if (spoil) {
    switch (fault_) {
      case ServerFault::ResetMidReply: {
        const std::string whole = response(status, reply);
        writeAll(client, whole.substr(0, whole.size() / 2));
        linger hard{1, 0};
        ::setsockopt(client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::close(client);
        return;
      }
      case ServerFault::TruncatedBody:
        reply.resize(reply.size() / 2);
        break;
      case ServerFault::Status500:
        status = 500;
        reply.clear();
        break;
      case ServerFault::GarbageJson:
        reply = "{\"result\": [1, 2";
        break;
      case ServerFault::BadPacket:
        reply = spoilPackets(reply);
        break;
      default:
        break;
    }
  }
  writeAll(client, response(status, reply));
  ::close(client);
}

}  // namespace crash
