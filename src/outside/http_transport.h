#pragma once

#include <string>
#include <string_view>

#include "outside/http_limits.h"

namespace outside {

// What an HTTP exchange returned; transport failures throw outside::ServerError instead.
struct HttpResponse {
  long status = 0;
  std::string body;
};

HttpResponse httpPost(const std::string& url, std::string_view jsonBody,
                      const HttpTimeouts& timeouts = {});
HttpResponse httpGet(const std::string& url, const HttpTimeouts& timeouts = {});
// GET straight into a file (replaced); throws outside::ServerError on a transport failure or a
// status outside 2xx, leaving no partial file behind.
void httpGetToFile(const std::string& url, const std::string& localPath,
                   const HttpTimeouts& timeouts = {});

}  // namespace outside
