#include "outside/http_transport.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
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
  // A reader that takes the text a piece at a time pauses the transfer while this much waits.
  size_t pauseFrom = 0;
  bool paused = false;
};

size_t receive(char* data, size_t size, size_t count, void* target) {
  auto& sink = *static_cast<Sink*>(target);
  const size_t bytes = size * count;
  if (sink.pauseFrom != 0 && sink.text->size() >= sink.pauseFrom) {
    sink.paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
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

// The status of a finished transfer; raises for one that failed.
long finished(CURL* curl, const std::string& url, const Sink& sink, CURLcode code,
              const char* message) {
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

long perform(CURL* curl, const std::string& url, const Sink& sink) {
  char message[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, message);
  return finished(curl, url, sink, curl_easy_perform(curl), message);
}

struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using Multi = std::unique_ptr<CURLM, MultiDeleter>;

// Text that waits for the reader before the transfer pauses.
constexpr size_t kStreamPauseFrom = size_t{1} << 18;
constexpr int kStreamPollMs = 1000;

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

struct HttpReplyStream::Transfer {
  std::string url;
  std::string body;  // curl sends it from here
  std::string pending;
  size_t taken = 0;  // of pending
  Sink sink{.text = &pending, .pauseFrom = kStreamPauseFrom};
  Request request;
  Multi multi{curl_multi_init()};
  char message[CURL_ERROR_SIZE] = {};
  bool done = false;
  long status = 0;

  ~Transfer() {
    if (multi && request.curl) curl_multi_remove_handle(multi.get(), request.curl.get());
  }

  // Moves the transfer on until more text waits or it is over.
  void advance() {
    // The time the reader spent on what it had is not the server's stall.
    sink.lastMove = std::chrono::steady_clock::now();
    if (sink.paused) {
      sink.paused = false;
      curl_easy_pause(request.curl.get(), CURLPAUSE_CONT);
    }
    while (pending.empty() && !done) {
      int running = 0;
      const CURLMcode code = curl_multi_perform(multi.get(), &running);
      if (code != CURLM_OK)
        throw ServerError("HTTP request to " + url + " failed: " + curl_multi_strerror(code));
      if (running == 0) {
        finish();
      } else if (pending.empty()) {
        curl_multi_poll(multi.get(), nullptr, 0, kStreamPollMs, nullptr);
      }
    }
  }

  void finish() {
    int left = 0;
    CURLcode result = CURLE_RECV_ERROR;
    while (CURLMsg* info = curl_multi_info_read(multi.get(), &left)) {
      if (info->msg == CURLMSG_DONE) result = info->data.result;
    }
    done = true;
    status = finished(request.curl.get(), url, sink, result, message);
  }
};

HttpReplyStream::HttpReplyStream(const std::string& url, std::string_view jsonBody,
                                 const TransportSecurity& security, const HttpTimeouts& timeouts)
    : transfer_(std::make_unique<Transfer>()) {
  Transfer& t = *transfer_;
  t.url = url;
  t.body = jsonBody;
  if (!t.multi) throw ServerError("cannot create an HTTP client handle");
  t.request = postRequest(url, t.body, security, timeouts, t.sink);
  curl_easy_setopt(t.request.curl.get(), CURLOPT_ERRORBUFFER, t.message);
  curl_multi_add_handle(t.multi.get(), t.request.curl.get());
}

HttpReplyStream::~HttpReplyStream() = default;

size_t HttpReplyStream::read(char* into, size_t size) {
  Transfer& t = *transfer_;
  if (t.taken == t.pending.size()) {
    t.pending.clear();
    t.taken = 0;
    t.advance();
  }
  const size_t count = std::min(size, t.pending.size() - t.taken);
  std::memcpy(into, t.pending.data() + t.taken, count);
  t.taken += count;
  return count;
}

long HttpReplyStream::status() const {
  if (transfer_->done) return transfer_->status;
  long status = 0;
  curl_easy_getinfo(transfer_->request.curl.get(), CURLINFO_RESPONSE_CODE, &status);
  return status;
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
