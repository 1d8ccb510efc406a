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
        method, [&] { return protocol::decodeReply(response.body); },
        [&] { return response.status; }, args);
  }

  // The reply is parsed as it arrives; nothing of it is stored but what the sink keeps.
  db::Value call(std::string_view method, std::vector<db::Value>& args, PacketSink& sink) override {
    const std::string url = methodUrl(method);
    HttpReplyStream body(url, protocol::encodeRequest(args), endpoint_.security,
                         endpoint_.timeouts);
    const protocol::ReplyReader read = [&](char* into, size_t size) {
      return body.read(into, size);
    };
    return accept(
        method, [&] { return protocol::decodeReply(read, sink); }, [&] { return body.status(); },
        args);
  }

 private:
  std::string methodUrl(std::string_view method) {
    // Like the remote connection it stands in for, a call on a closed connection opens it.
    if (!connected_) connect();
    return serverUrl(endpoint_, "/" + objectName_ + "/" + std::string(method));
  }

  // The reply's result, its by-reference arguments copied into `args`; raises with the server's
  // text, or with the status when the body is no protocol reply. The status is asked for once
  // the body is read.
  template <typename Decode, typename Status>
  static db::Value accept(std::string_view method, Decode decode, Status statusOf,
                          std::vector<db::Value>& args) {
    protocol::DecodedReply decoded;
    long status = 0;
    try {
      decoded = decode();
      status = statusOf();
    } catch (const protocol::ProtocolError& e) {
      status = statusOf();
      if (status < 200 || status >= 300)
        throw ServerError(std::string(method) + ": server answered status " +
                          std::to_string(status));
      throw ServerError(std::string(method) + ": unreadable reply: " + e.what());
    }
    if (decoded.isError) throw ServerError(decoded.error);
    if (status < 200 || status >= 300)
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
