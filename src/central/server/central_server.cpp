#include "central/server/central_server.h"

#include <httplib.h>

#include <chrono>
#include <iostream>

#include "central/server/method_table.h"
#include "central/server/register_access.h"
#include "central/server/tls_certificate.h"
#include "outside/protocol.h"
#include "outside/server_url.h"

namespace central::server {
namespace {

namespace protocol = outside::protocol;

constexpr const char* kJson = "application/json";

void replyError(httplib::Response& res, int status, std::string_view text) {
  res.status = status;
  res.set_content(protocol::encodeError(text), kJson);
}

// Server paths stay on the server: an error text naming one is cut to its part below the files
// root, or to the file name.
std::string withoutServerPaths(std::string text, const Service& service) {
  for (const std::string& root :
       {service.filesRoot().string() + "/",
        std::filesystem::path(service.options().databasePath).parent_path().string() + "/"}) {
    if (root.size() <= 1) continue;
    for (size_t at; (at = text.find(root)) != std::string::npos;) text.erase(at, root.size());
  }
  return text;
}

// Writes {"result": [e0, e1, ...], "args": [...]} element by element, reading every element in
// the request's one read transaction until the last is written.
void streamLazyReply(httplib::Response& res, MethodResult result, std::vector<db::Value> args,
                     std::unique_ptr<ReadLease> lease) {
  struct State {
    MethodResult result;
    std::vector<db::Value> args;
    std::unique_ptr<ReadLease> lease;
  };
  auto state = std::make_shared<State>(State{std::move(result), std::move(args), std::move(lease)});
  res.set_chunked_content_provider(kJson, [state](size_t, httplib::DataSink& sink) {
    try {
      std::string piece = "{\"result\":[";
      for (size_t i = 0; i < state->result.lazyElements.size(); ++i) {
        if (i > 0) piece += ',';
        state->result.lazyElements[i](piece);
        if (!sink.write(piece.data(), piece.size())) return false;
        piece.clear();
      }
      nlohmann::json args = nlohmann::json::array();
      for (const auto& arg : state->args) args.push_back(protocol::toJson(arg));
      piece += "],\"args\":" + protocol::dump(args) + "}";
      if (!sink.write(piece.data(), piece.size())) return false;
      sink.done();
      state->lease.reset();
      return true;
    } catch (const std::exception& e) {
      // The status line is gone already: cutting the reply short is how the client learns.
      std::cerr << "kivtab-central: reply aborted: " << e.what() << "\n";
      state->lease.reset();
      return false;
    }
  });
}

// Far more than the registers of a site that run at once.
constexpr size_t kWorkers = 64;

std::unique_ptr<httplib::Server> newHttpServer(const ServerOptions& options) {
  if (!options.tls()) return std::make_unique<httplib::Server>();
  if (options.tlsKeyFile.empty())
    throw std::runtime_error("--tls-cert needs --tls-key (the certificate's private key)");
  checkServerCertificate(options.tlsCertFile);
  auto server =
      std::make_unique<httplib::SSLServer>(options.tlsCertFile.c_str(), options.tlsKeyFile.c_str());
  if (!server->is_valid())
    throw std::runtime_error("cannot use the TLS certificate " + options.tlsCertFile +
                             " with the key " + options.tlsKeyFile +
                             " (unreadable, malformed, or not a pair)");
  return server;
}

std::optional<RegisterTokens> loadTokens(const ServerOptions& options) {
  if (options.tokensFile.empty()) return std::nullopt;
  return RegisterTokens::load(options.tokensFile);
}

}  // namespace

CentralServer::CentralServer(ServerOptions options)
    : service_(std::make_unique<Service>(std::move(options))),
      methods_(std::make_unique<MethodTable>()),
      tokens_(loadTokens(service_->options())),
      http_(newHttpServer(service_->options())) {
  registerStructureMethods(*methods_);
  registerSessionMethods(*methods_);
  registerTableMethods(*methods_);
  registerFileMethods(*methods_);
  registerAnticipationMethods(*methods_);
  installRoutes();
}

CentralServer::~CentralServer() { stop(); }

const RegisterIdentity* CentralServer::caller(const httplib::Request& req) const {
  if (!tokens_) return nullptr;
  return &authenticate(*tokens_, req.get_header_value(std::string(outside::kAuthorizationHeader)));
}

void CentralServer::installRoutes() {
  // A worker stays with its client until the reply is written or the client times out; with
  // workers to spare, a slow or stalled client holds only its own.
  http_->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  http_->set_payload_max_length(service_->options().maxRequestBytes);
  http_->set_mount_point(std::string(kFilesUrl), service_->filesRoot().string());
  // Files need the same token as the methods, and generated ones the branch they were built for.
  http_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (!tokens_ || req.path.rfind(kFilesUrl, 0) != 0)
      return httplib::Server::HandlerResponse::Unhandled;
    return guardFile(req, res) ? httplib::Server::HandlerResponse::Unhandled
                               : httplib::Server::HandlerResponse::Handled;
  });

  http_->Get(std::string(outside::kPingPath), [](const httplib::Request&, httplib::Response& res) {
    res.set_content("kivtab-central", "text/plain");
  });

  http_->Post(R"(/([^/]+)/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
    answerMethod(req, res);
  });

  installErrorReplies();
}

bool CentralServer::guardFile(const httplib::Request& req, httplib::Response& res) {
  try {
    service_->checkFileAccess(req.path, *caller(req));
    return true;
  } catch (const AccessRefused& e) {
    std::cerr << "kivtab-central: " << req.remote_addr << ": " << e.what() << "\n";
    replyError(res, e.status, e.what());
  } catch (const BadRequest& e) {
    replyError(res, 400, e.what());
  }
  return false;
}

void CentralServer::answerMethod(const httplib::Request& req, httplib::Response& res) {
  const std::string object = req.matches[1];
  const std::string method = req.matches[2];
  try {
    const RegisterIdentity* who = caller(req);
    const MethodSpec& entry = methods_->find(object, method);
    std::vector<db::Value> args = decodeArguments(req.body);
    MethodTable::checkArgs(entry, args);
    if (who) checkBranchArgument(*who, object, method, args);
    auto lease = service_->read();
    Call call{*service_, lease->db(), args, req.get_header_value("Host"), who};
    MethodResult result = entry.handler(call);
    if (result.lazy) {
      streamLazyReply(res, std::move(result), std::move(args), std::move(lease));
      return;
    }
    res.set_content(protocol::encodeReply(result.value, args), kJson);
  } catch (const AccessRefused& e) {
    std::cerr << "kivtab-central: " << req.remote_addr << " " << object << "/" << method << ": "
              << e.what() << "\n";
    replyError(res, e.status, e.what());
  } catch (const protocol::ProtocolError& e) {
    replyError(res, 400, std::string("bad request: ") + e.what());
  } catch (const BadRequest& e) {
    replyError(res, 400, e.what());
  } catch (const std::exception& e) {
    replyError(res, 500, withoutServerPaths(method + ": " + e.what(), *service_));
  }
}

std::vector<db::Value> CentralServer::decodeArguments(const std::string& body) {
  decoding_.acquire();
  struct Release {
    std::counting_semaphore<>& gate;
    ~Release() { gate.release(); }
  } release{decoding_};
  return protocol::decodeRequest(body);
}

// A body over the payload limit, or any other refusal httplib makes, still gets a JSON error.
void CentralServer::installErrorReplies() {
  http_->set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) {
      std::string text = res.status == 413
                             ? "request body too large"
                             : "request refused (status " + std::to_string(res.status) + ")";
      res.set_content(protocol::encodeError(text), kJson);
    }
  });
  http_->set_exception_handler(
      [this](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
        std::string text = "internal error";
        try {
          if (ep) std::rethrow_exception(ep);
        } catch (const std::exception& e) {
          text += std::string(": ") + e.what();
        } catch (...) {
        }
        replyError(res, 500, withoutServerPaths(text, *service_));
      });
}

int CentralServer::bind(const std::string& host, int port) {
  if (port == 0) {
    int bound = http_->bind_to_any_port(host);
    if (bound <= 0) throw std::runtime_error("cannot listen on " + host + ": no free port");
    return bound;
  }
  if (!http_->bind_to_port(host, port))
    throw std::runtime_error("cannot listen on " + host + ":" + std::to_string(port));
  return port;
}

void CentralServer::serve() { http_->listen_after_bind(); }

void CentralServer::start() {
  // bind() has put the socket in listening state already, so clients may connect at once.
  thread_ = std::thread([this] { serve(); });
  // A stop() before the loop runs would be lost, so wait (briefly) until it does.
  for (int i = 0; i < 5000 && !http_->is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void CentralServer::stop() {
  if (http_) http_->stop();
  if (thread_.joinable()) thread_.join();
}

}  // namespace central::server
