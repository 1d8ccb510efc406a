#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "outside/http_limits.h"
#include "outside/transport_security.h"

namespace outside {

// What an HTTP exchange returned; transport failures throw outside::ServerError instead.
struct HttpResponse {
  long status = 0;
  std::string body;
};

// A forward proxy with basic authentication.
struct HttpProxy {
  std::string host;
  std::optional<long> port;
  std::string user;
  std::string password;
};

// Bytes received so far and the expected total (0 while unknown). What it raises is ignored: the
// screen's trouble must not break a transfer.
using HttpProgress = std::function<void(int64_t received, int64_t total)>;

// What a file fetch may add to an exchange with the central server.
struct FetchExtras {
  std::optional<HttpProxy> proxy;
  HttpProgress progress;
};

// `security` decides TLS verification and the token presented, `timeouts` how long the server may
// take to answer and to keep answering (docs/operations.md).
HttpResponse httpPost(const std::string& url, std::string_view jsonBody,
                      const TransportSecurity& security, const HttpTimeouts& timeouts = {});
// A POST whose answer is read as it arrives, so that it is never held or stored whole. Throws
// outside::ServerError on a transport failure, from read() as from the start.
class HttpReplyStream {
 public:
  HttpReplyStream(const std::string& url, std::string_view jsonBody,
                  const TransportSecurity& security, const HttpTimeouts& timeouts = {});
  ~HttpReplyStream();
  HttpReplyStream(const HttpReplyStream&) = delete;
  HttpReplyStream& operator=(const HttpReplyStream&) = delete;

  // Up to `size` bytes of the answer into `into`, waiting for the server; 0 at its end.
  size_t read(char* into, size_t size);
  // The status, once read() has returned anything.
  long status() const;

 private:
  struct Transfer;
  std::unique_ptr<Transfer> transfer_;
};
HttpResponse httpGet(const std::string& url, const TransportSecurity& security,
                     const HttpTimeouts& timeouts = {});
// GET straight into a file (replaced); throws outside::ServerError on a transport failure or a
// status outside 2xx, leaving no partial file behind.
void httpGetToFile(const std::string& url, const std::string& localPath,
                   const TransportSecurity& security, const HttpTimeouts& timeouts = {},
                   const FetchExtras& extras = {});

}  // namespace outside
