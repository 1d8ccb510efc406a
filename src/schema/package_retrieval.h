#pragma once

#include <filesystem>
#include <stdexcept>
#include <string_view>

#include "outside/package/package.h"
#include "schema/http_fetch.h"
#include "schema/services.h"

namespace schema {

// The download failed outside its guarded part: the error report was shown and the update ends.
class DownloadAborted : public std::runtime_error {
 public:
  DownloadAborted() : std::runtime_error("Download do pacote de estrutura cancelado.") {}
};

struct RetrievalServices {
  const outside::Package& package;  // working directory and the WebCli registry values
  LogLine log;
  DownloadProgress progress;
  FetchLimits limits;
};

// Fetches struct.zip as the reply describes and unpacks it into the local package directory
// (working directory + the token's last 22 characters), which it returns. A failed download
// says nothing here: the missing struct.cds fails the load that follows.
std::filesystem::path retrievePackage(std::string_view reply, std::string_view token,
                                      const RetrievalServices& services);

// The error report's detail text; the password is always masked.
std::string downloadErrorDetail(std::string_view error, const PackageLocation& location,
                                std::string_view urlPath, const std::filesystem::path& localFile);

// The download window's status text: kilobytes received so far and of the whole package.
std::string progressText(int64_t received, int64_t total);

}  // namespace schema
