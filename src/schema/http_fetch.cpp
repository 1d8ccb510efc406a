#include "schema/http_fetch.h"

namespace schema {

void fetchToFile(const HttpSource& source, const std::filesystem::path& file,
                 const DownloadProgress& progress, const FetchLimits& limits) {
  outside::HttpTimeouts timeouts;
  timeouts.connect = limits.connect;
  timeouts.stall = limits.stall;
  outside::httpGetToFile(source.url, file.string(), source.security, timeouts,
                         {source.proxy, progress});
}

}  // namespace schema
