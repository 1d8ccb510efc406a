#pragma once

#include <chrono>
#include <filesystem>

#include "outside/http_transport.h"
#include "schema/http_source.h"

namespace schema {

// Bytes received so far and the expected total (0 while unknown).
using DownloadProgress = outside::HttpProgress;

struct FetchLimits {
  std::chrono::milliseconds connect{30'000};
  // A transfer that moves no byte for this long has stalled and fails as a time-out.
  std::chrono::milliseconds stall{60'000};
};

// GETs the source's URL into `file` (replaced), through its proxy. Raises std::runtime_error
// naming the URL on a transport failure, a time-out or a status outside 2xx (a proxy refusing
// answers 407), leaving no partial file behind. The proxy password never appears in the text.
void fetchToFile(const HttpSource& source, const std::filesystem::path& file,
                 const DownloadProgress& progress, const FetchLimits& limits = {});

}  // namespace schema
