#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "outside/app_server.h"

namespace download {

// Brings a file the central server built down to a local path (getInsertFile).
class FileFetcher {
 public:
  virtual ~FileFetcher() = default;
  // Replaces localFile with the server file; raises on failure, leaving no partial file.
  // accessLine is what getAcessoArquivo answered before its server path, passed unchanged.
  virtual void getInsertFile(const std::filesystem::path& localFile, std::string_view serverPath,
                             std::string_view accessLine) = 0;
};

// Over HTTP GET: serverPath is a path below the server's base URL (the current endpoint), or a
// whole http(s) URL; an access line that is itself an http(s) URL replaces the base URL. The
// endpoint's transport settings apply to every fetch; its token is sent only below its own URL.
std::unique_ptr<FileFetcher> makeHttpFileFetcher(outside::EndpointSource endpoint);

}  // namespace download
