#include "outside/http_transport.h"

#include <curl/curl.h>

#include <cstdio>
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

size_t appendToString(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

size_t writeToFile(char* data, size_t size, size_t count, void* target) {
  return std::fwrite(data, size, count, static_cast<FILE*>(target)) * size;
}

// extraHeader: one more header line, or nullptr.
Request newRequest(const std::string& url, const TransportSecurity& security,
                   const HttpTimeouts& timeouts, const char* extraHeader = nullptr) {
  initCurlOnce();
  Request request{Easy(curl_easy_init()), nullptr};
  CURL* curl = request.curl.get();
  if (!curl) throw ServerError("cannot create an HTTP client handle");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TCP_KEEPALIVE, 1L);
  if (extraHeader) request.headers.reset(curl_slist_append(nullptr, extraHeader));
  applySecurity(curl, security, request.headers);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, request.headers.get());
  return request;
}

long perform(CURL* curl, const std::string& url) {
  char message[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, message);
  CURLcode code = curl_easy_perform(curl);
  if (code != CURLE_OK) {
    std::string detail = message[0] ? message : curl_easy_strerror(code);
    throw ServerError("HTTP request to " + url + " failed: " + detail);
  }
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  return status;
}

Request postRequest(const std::string& url, std::string_view jsonBody,
                    const TransportSecurity& security, const HttpTimeouts& timeouts) {
  Request request = newRequest(url, security, timeouts, "Content-Type: application/json");
  CURL* curl = request.curl.get();
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, jsonBody.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(jsonBody.size()));
  return request;
}

// Runs the exchange with its answer written to `localPath`; returns the status.
long performToFile(CURL* curl, const std::string& url, const std::string& localPath) {
  FILE* file = std::fopen(localPath.c_str(), "wb");
  if (!file) throw ServerError("cannot create file " + localPath);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeToFile);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
  long status = 0;
  try {
    status = perform(curl, url);
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
  Request request = postRequest(url, jsonBody, security, timeouts);
  CURL* curl = request.curl.get();
  HttpResponse response;
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendToString);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.body);
  response.status = perform(curl, url);
  return response;
}

HttpResponse httpGet(const std::string& url, const TransportSecurity& security,
                     const HttpTimeouts& timeouts) {
  Request request = newRequest(url, security, timeouts);
  CURL* curl = request.curl.get();
  HttpResponse response;
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendToString);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.body);
  response.status = perform(curl, url);
  return response;
}

long httpPostToFile(const std::string& url, std::string_view jsonBody, const std::string& localPath,
                    const TransportSecurity& security, const HttpTimeouts& timeouts) {
  Request request = postRequest(url, jsonBody, security, timeouts);
  return performToFile(request.curl.get(), url, localPath);
}

void httpGetToFile(const std::string& url, const std::string& localPath,
                   const TransportSecurity& security, const HttpTimeouts& timeouts) {
  Request request = newRequest(url, security, timeouts);
  const long status = performToFile(request.curl.get(), url, localPath);
  if (status < 200 || status >= 300) {
    std::remove(localPath.c_str());
    throw ServerError("HTTP GET " + url + " answered status " + std::to_string(status));
  }
}

}  // namespace outside
