#include <filesystem>
#include <fstream>
#include <utility>

#include "outside/app_server.h"
#include "outside/http_transport.h"
#include "outside/protocol.h"
#include "outside/server_url.h"

namespace outside {
namespace {

class HttpAppServer : public AppServer {
 public:
  HttpAppServer(std::string objectName, EndpointSource endpoint)
      : objectName_(std::move(objectName)), endpointSource_(std::move(endpoint)) {}

  void connect() override {
    connected_ = false;
    if (!endpointSource_) throw ServerError("no server endpoint configured");
    Endpoint endpoint = endpointSource_();
    if (endpoint.host.empty() || endpoint.port <= 0 || endpoint.port > 65535)
      throw ServerError("invalid server address \"" + endpoint.host + ":" +
                        std::to_string(endpoint.port) + "\"");
    HttpResponse ping =
        httpGet(serverUrl(endpoint, kPingPath), endpoint.security, endpoint.timeouts);
    if (ping.status != 200)
      throw ServerError("server " + endpoint.host + ":" + std::to_string(endpoint.port) +
                        " is not a central application server (status " +
                        std::to_string(ping.status) + ")");
    endpoint_ = std::move(endpoint);
    connected_ = true;
  }

  void disconnect() override { connected_ = false; }
  bool connected() const override { return connected_; }

  db::Value call(std::string_view method, std::vector<db::Value>& args) override {
    const std::string url = methodUrl(method);
    HttpResponse response =
        httpPost(url, protocol::encodeRequest(args), endpoint_.security, endpoint_.timeouts);
    return accept(
        method, response.status, [&] { return protocol::decodeReply(response.body); }, args);
  }

  db::Value call(std::string_view method, std::vector<db::Value>& args, PacketSink& sink) override {
    const std::string url = methodUrl(method);
    const std::filesystem::path file = sink.replyFile();
    const long status = httpPostToFile(url, protocol::encodeRequest(args), file.string(),
                                       endpoint_.security, endpoint_.timeouts);
    // The reply's file goes whatever happens: its packets are in the sink or the reply failed.
    struct Remove {
      const std::filesystem::path& file;
      ~Remove() {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
      }
    } remove{file};
    std::ifstream body(file, std::ios::binary);
    if (!body)
      throw ServerError(std::string(method) + ": cannot read the reply in " + file.string());
    return accept(
        method, status,
        [&] {
          return protocol::decodeReply(body, [&](size_t position, std::string_view packet) {
            return sink.take(position, packet);
          });
        },
        args);
  }

 private:
  std::string methodUrl(std::string_view method) {
    // Like the remote connection it stands in for, a call on a closed connection opens it.
    if (!connected_) connect();
    return serverUrl(endpoint_, "/" + objectName_ + "/" + std::string(method));
  }

  // The reply's result, its by-reference arguments copied into `args`; raises with the server's
  // text, or with the status when the body is no protocol reply.
  template <typename Decode>
  static db::Value accept(std::string_view method, long status, Decode decode,
                          std::vector<db::Value>& args) {
    const bool ok = status >= 200 && status < 300;
    protocol::DecodedReply decoded;
    try {
      decoded = decode();
    } catch (const protocol::ProtocolError& e) {
      if (!ok)
        throw ServerError(std::string(method) + ": server answered status " +
                          std::to_string(status));
      throw ServerError(std::string(method) + ": unreadable reply: " + e.what());
    }
    if (decoded.isError) throw ServerError(decoded.error);
    if (!ok)
      throw ServerError(std::string(method) + ": server answered status " + std::to_string(status));
    if (decoded.reply.args.size() != args.size())
      throw ServerError(std::string(method) + ": reply holds " +
                        std::to_string(decoded.reply.args.size()) + " arguments, the call " +
                        std::to_string(args.size()));
    args = std::move(decoded.reply.args);
    return std::move(decoded.reply.result);
  }

  std::string objectName_;
  EndpointSource endpointSource_;
  Endpoint endpoint_;
  bool connected_ = false;
};

}  // namespace

std::unique_ptr<AppServer> makeHttpAppServer(std::string objectName, EndpointSource endpoint) {
  return std::make_unique<HttpAppServer>(std::move(objectName), std::move(endpoint));
}

}  // namespace outside
