#include <string>

#include "download/statement_files/file_fetcher.h"
#include "outside/http_transport.h"
#include "outside/server_url.h"

namespace download {
namespace {

bool isUrl(std::string_view text) {
  return text.starts_with("http://") || text.starts_with("https://");
}

class HttpFileFetcher : public FileFetcher {
 public:
  explicit HttpFileFetcher(outside::EndpointSource endpoint) : endpoint_(std::move(endpoint)) {}

  void getInsertFile(const std::filesystem::path& localFile, std::string_view serverPath,
                     std::string_view accessLine) override {
    if (serverPath.empty() || serverPath.ends_with('/') || serverPath.ends_with('\\'))
      throw outside::ServerError("getInsertFile: no server file was named (\"" +
                                 std::string(serverPath) + "\")");
    const outside::Endpoint endpoint = endpoint_();
    std::string url;
    if (isUrl(serverPath)) {
      url = serverPath;
    } else if (isUrl(accessLine)) {
      url = std::string(accessLine);
      if (url.ends_with('/') && serverPath.starts_with('/')) url.pop_back();
      if (!url.ends_with('/') && !serverPath.starts_with('/')) url += '/';
      url += serverPath;
    } else {
      url = outside::serverUrl(endpoint, serverPath);
    }
    // The register's token goes to its own central server only, never to a host a reply names.
    outside::TransportSecurity security = endpoint.security;
    if (!url.starts_with(outside::serverUrl(endpoint, "/"))) security.token.clear();
    outside::httpGetToFile(url, localFile.string(), security, endpoint.timeouts);
  }

 private:
  outside::EndpointSource endpoint_;
};

}  // namespace

std::unique_ptr<FileFetcher> makeHttpFileFetcher(outside::EndpointSource endpoint) {
  return std::make_unique<HttpFileFetcher>(std::move(endpoint));
}

}  // namespace download
