#include "outside/http_transport.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>
#include <mutex>

#include "outside/app_server.h"

namespace outside {
namespace {

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;

size_t appendToString(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

size_t writeToFile(char* data, size_t size, size_t count, void* target) {
  return std::fwrite(data, size, count, static_cast<FILE*>(target)) * size;
}

Easy newHandle(const std::string& url, const HttpTimeouts& timeouts) {
  initCurlOnce();
  Easy curl(curl_easy_init());
  if (!curl) throw ServerError("cannot create an HTTP client handle");
  curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(timeouts.connect.count()));
  curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_TCP_KEEPALIVE, 1L);
  return curl;
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

using Headers = std::unique_ptr<curl_slist, ListDeleter>;

Headers postJson(CURL* curl, std::string_view jsonBody) {
  Headers headers(curl_slist_append(nullptr, "Content-Type: application/json"));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, jsonBody.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(jsonBody.size()));
  return headers;
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
                      const HttpTimeouts& timeouts) {
  Easy curl = newHandle(url, timeouts);
  Headers headers = postJson(curl.get(), jsonBody);
  HttpResponse response;
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, appendToString);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &response.body);
  response.status = perform(curl.get(), url);
  return response;
}

HttpResponse httpGet(const std::string& url, const HttpTimeouts& timeouts) {
  Easy curl = newHandle(url, timeouts);
  HttpResponse response;
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, appendToString);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &response.body);
  response.status = perform(curl.get(), url);
  return response;
}

long httpPostToFile(const std::string& url, std::string_view jsonBody, const std::string& localPath,
                    const HttpTimeouts& timeouts) {
  Easy curl = newHandle(url, timeouts);
  Headers headers = postJson(curl.get(), jsonBody);
  return performToFile(curl.get(), url, localPath);
}

void httpGetToFile(const std::string& url, const std::string& localPath,
                   const HttpTimeouts& timeouts) {
  Easy curl = newHandle(url, timeouts);
  const long status = performToFile(curl.get(), url, localPath);
  if (status < 200 || status >= 300) {
    std::remove(localPath.c_str());
    throw ServerError("HTTP GET " + url + " answered status " + std::to_string(status));
  }
}

}  // namespace outside
