#include "outside/curl_security.h"

#include <string>

#include "outside/app_server.h"

namespace outside {

void applySecurity(CURL* curl, const TransportSecurity& security, CurlHeaders& headers) {
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (security.https) {
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    if (!security.caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, security.caFile.c_str());
  }
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, security.https ? "https" : "http,https");
  if (security.token.empty()) return;
  checkToken(security.token);
  const std::string line =
      std::string(kAuthorizationHeader) + ": " + std::string(kBearerPrefix) + security.token;
  curl_slist* extended = curl_slist_append(headers.get(), line.c_str());
  if (!extended) throw ServerError("cannot build the request headers");
  headers.release();
  headers.reset(extended);
}

}  // namespace outside
