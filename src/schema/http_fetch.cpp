#include "schema/http_fetch.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "outside/curl_security.h"

namespace schema {
namespace {

struct EasyDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

size_t writeToFile(char* data, size_t size, size_t count, void* target) {
  return std::fwrite(data, size, count, static_cast<FILE*>(target)) * size;
}

int reportProgress(void* target, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t) {
  const auto& progress = *static_cast<const DownloadProgress*>(target);
  // The view's trouble must not break the download.
  try {
    if (progress) progress(received, total > 0 ? total : 0);
  } catch (const std::exception&) {
  }
  return 0;
}

void configureProxy(CURL* curl, const ProxySettings& proxy) {
  curl_easy_setopt(curl, CURLOPT_PROXY, proxy.host.c_str());
  if (proxy.port) curl_easy_setopt(curl, CURLOPT_PROXYPORT, *proxy.port);
  curl_easy_setopt(curl, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
  curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxy.user.c_str());
  curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
}

void transfer(const HttpSource& source, FILE* file, const DownloadProgress& progress,
              const FetchLimits& limits) {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
  if (!curl) throw std::runtime_error("cannot create an HTTP client handle");
  CURL* c = curl.get();
  char message[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(c, CURLOPT_URL, source.url.c_str());
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, message);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME,
                   std::max(1L, static_cast<long>(limits.stall.count() / 1000)));
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, writeToFile);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, file);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, reportProgress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &progress);
  if (source.proxy) configureProxy(c, *source.proxy);
  outside::CurlHeaders headers;
  outside::applySecurity(c, source.security, headers);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  const CURLcode code = curl_easy_perform(c);
  if (code != CURLE_OK)
    throw std::runtime_error("HTTP GET " + source.url +
                             " failed: " + (message[0] ? message : curl_easy_strerror(code)));
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200 || status >= 300)
    throw std::runtime_error("HTTP GET " + source.url + " answered status " +
                             std::to_string(status));
}

}  // namespace

void fetchToFile(const HttpSource& source, const std::filesystem::path& file,
                 const DownloadProgress& progress, const FetchLimits& limits) {
  std::unique_ptr<FILE, FileCloser> out(std::fopen(file.c_str(), "wb"));
  if (!out) throw std::runtime_error("cannot create file " + file.string());
  try {
    transfer(source, out.get(), progress, limits);
    if (std::fclose(out.release()) != 0) throw std::runtime_error("cannot write " + file.string());
  } catch (...) {
    out.reset();
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    throw;
  }
}

}  // namespace schema
