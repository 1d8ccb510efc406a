#include "outside/http_transport.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>

#include "outside/app_server.h"
#include "outside/curl_security.h"

namespace outside {
namespace {

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;

// A handle with its request headers, which must live as long as the handle's transfer.
struct Request {
  Easy curl;
  CurlHeaders headers;
};

// Where a reply goes, and how much of it has come; a reply past the limit stops the transfer.
struct Sink {
  std::string* text = nullptr;
  FILE* file = nullptr;
  int64_t limit = 0;
  int64_t received = 0;
  bool tooLarge = false;
  // No-progress watch: the time the byte counts last moved.
  std::chrono::milliseconds stallLimit{0};
  std::chrono::steady_clock::time_point lastMove = std::chrono::steady_clock::now();
  curl_off_t lastBytes = 0;
  bool stalled = false;
  const HttpProgress* progress = nullptr;
};

size_t receive(char* data, size_t size, size_t count, void* target) {
  auto& sink = *static_cast<Sink*>(target);
  const size_t bytes = size * count;
  sink.received += static_cast<int64_t>(bytes);
  if (sink.received > sink.limit) {
    sink.tooLarge = true;
    return 0;
  }
  if (sink.file) return std::fwrite(data, 1, bytes, sink.file);
  sink.text->append(data, bytes);
  return bytes;
}

void reportProgress(const Sink& sink, curl_off_t downloaded, curl_off_t total) {
  if (!sink.progress) return;
  try {
    (*sink.progress)(downloaded, total > 0 ? total : 0);
  } catch (const std::exception&) {
    // A progress display that fails must not break the transfer.
  }
}

int watchProgress(void* target, curl_off_t downloadTotal, curl_off_t downloaded, curl_off_t,
                  curl_off_t uploaded) {
  auto& sink = *static_cast<Sink*>(target);
  reportProgress(sink, downloaded, downloadTotal);
  const auto now = std::chrono::steady_clock::now();
  if (downloaded + uploaded != sink.lastBytes) {
    sink.lastBytes = downloaded + uploaded;
    sink.lastMove = now;
    return 0;
  }
  if (now - sink.lastMove < sink.stallLimit) return 0;
  sink.stalled = true;
  return 1;
}

void applyProxy(CURL* curl, const HttpProxy& proxy) {
  curl_easy_setopt(curl, CURLOPT_PROXY, proxy.host.c_str());
  if (proxy.port) curl_easy_setopt(curl, CURLOPT_PROXYPORT, *proxy.port);
  curl_easy_setopt(curl, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
  curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxy.user.c_str());
  curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
}

// extraHeader: one more header line, or nullptr; extras: the caller's, alive until the transfer
// ends, or nullptr.
Request newRequest(const std::string& url, const TransportSecurity& security,
                   const HttpTimeouts& timeouts, Sink& sink, const char* extraHeader = nullptr,
                   const FetchExtras* extras = nullptr) {
  initCurlOnce();
  Request request{Easy(curl_easy_init()), nullptr};
  CURL* curl = request.curl.get();
  if (!curl) throw ServerError("cannot create an HTTP client handle");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
  // A server that stops sending (or never answers) fails once nothing moved for `stall`.
  sink.stallLimit = timeouts.stall;
  sink.limit = timeouts.maxReplyBytes;
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, watchProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &sink);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, receive);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TCP_KEEPALIVE, 1L);
  if (extras && extras->proxy) applyProxy(curl, *extras->proxy);
  if (extras && extras->progress) sink.progress = &extras->progress;
  if (extraHeader) request.headers.reset(curl_slist_append(nullptr, extraHeader));
  applySecurity(curl, security, request.headers);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, request.headers.get());
  return request;
}

long perform(CURL* curl, const std::string& url, const Sink& sink) {
  char message[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, message);
  CURLcode code = curl_easy_perform(curl);
  if (sink.stalled)
    throw ServerError("HTTP request to " + url + " failed: no data for " +
                      std::to_string(sink.stallLimit.count() / 1000) + " s");
  if (sink.tooLarge)
    throw ServerError("HTTP request to " + url + " failed: the reply exceeds " +
                      std::to_string(sink.limit) + " bytes");
  if (code != CURLE_OK) {
    std::string detail = message[0] ? message : curl_easy_strerror(code);
    throw ServerError("HTTP request to " + url + " failed: " + detail);
  }
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  return status;
}

// Readies a POST of `jsonBody` whose answer goes to `sink`.
Request postRequest(const std::string& url, std::string_view jsonBody,
                    const TransportSecurity& security, const HttpTimeouts& timeouts, Sink& sink) {
  Request request = newRequest(url, security, timeouts, sink, "Content-Type: application/json");
  CURL* curl = request.curl.get();
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, jsonBody.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(jsonBody.size()));
  return request;
}

// Runs the exchange readied by `prepare` with its answer written to `localPath`; returns the
// status. A failed transfer leaves no partial file.
template <typename Prepare>
long performToFile(const std::string& url, const std::string& localPath, Prepare prepare) {
  FILE* file = std::fopen(localPath.c_str(), "wb");
  if (!file) throw ServerError("cannot create file " + localPath);
  Sink sink{.file = file};
  long status = 0;
  try {
    Request request = prepare(sink);
    status = perform(request.curl.get(), url, sink);
  } catch (...) {
    std::fclose(file);
    std::remove(localPath.c_str());
    throw;
  }
  if (std::fclose(file) != 0) {
    std::remove(localPath.c_str());
    throw ServerError("cannot write file " + localPath);
  }
  return status;
}

}  // namespace

HttpResponse httpPost(const std::string& url, std::string_view jsonBody,
                      const TransportSecurity& security, const HttpTimeouts& timeouts) {
  HttpResponse response;
  Sink sink{.text = &response.body};
  Request request = postRequest(url, jsonBody, security, timeouts, sink);
  response.status = perform(request.curl.get(), url, sink);
  return response;
}

long httpPostToFile(const std::string& url, std::string_view jsonBody, const std::string& localPath,
                    const TransportSecurity& security, const HttpTimeouts& timeouts) {
  return performToFile(url, localPath, [&](Sink& sink) {
    return postRequest(url, jsonBody, security, timeouts, sink);
  });
}

HttpResponse httpGet(const std::string& url, const TransportSecurity& security,
                     const HttpTimeouts& timeouts) {
  HttpResponse response;
  Sink sink{.text = &response.body};
  Request request = newRequest(url, security, timeouts, sink);
  response.status = perform(request.curl.get(), url, sink);
  return response;
}

void httpGetToFile(const std::string& url, const std::string& localPath,
                   const TransportSecurity& security, const HttpTimeouts& timeouts,
                   const FetchExtras& extras) {
  const long status = performToFile(url, localPath, [&](Sink& sink) {
    return newRequest(url, security, timeouts, sink, nullptr, &extras);
  });
  if (status < 200 || status >= 300) {
    std::remove(localPath.c_str());
    throw ServerError("HTTP GET " + url + " answered status " + std::to_string(status));
  }
}

}  // namespace outside
