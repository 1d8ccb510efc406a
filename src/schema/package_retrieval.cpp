#include "schema/package_retrieval.h"

#include "download/statement_files/zip_extractor.h"
#include "outside/package/message_box.h"
#include "schema/messages.h"
#include "schema/structure_package.h"

namespace schema {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kMaskedPassword = "**********";

// The central server's address and transport settings; without an address the package may
// still lie elsewhere, and the token then goes nowhere.
outside::Endpoint centralEndpoint(const outside::Package& package) {
  outside::Endpoint central{{}, 0, package.transportSecurity()};
  try {
    central.host = package.WebURL();
    central.port = package.WebPort();
  } catch (const outside::RegistryError&) {
    central.host.clear();
  }
  return central;
}

// The guarded part: any failure reading the values or fetching means "no package", silently.
bool fetchGuarded(const outside::RegistryFile& registry, const PackageLocation& location,
                  const std::string& urlPath, const fs::path& localFile,
                  const RetrievalServices& services) {
  try {
    fetchToFile(readHttpSource(registry, location, urlPath, centralEndpoint(services.package)),
                localFile, services.progress, services.limits);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool downloadHttp(const PackageLocation& location, const std::string& urlPath,
                  const fs::path& localFile, const RetrievalServices& services) {
  try {
    std::error_code ignored;
    if (fs::exists(localFile, ignored))
      fs::permissions(localFile, fs::perms::owner_read | fs::perms::owner_write,
                      fs::perm_options::add, ignored);
    const outside::RegistryFile registry = services.package.registry();
    return fetchGuarded(registry, location, urlPath, localFile, services);
  } catch (const std::exception& e) {
    outside::ShowDetailError(msgText("DownloadError"),
                             downloadErrorDetail(e.what(), location, urlPath, localFile));
    throw DownloadAborted();
  }
}

void unpack(const fs::path& archive, const fs::path& directory, const LogLine& log) {
  try {
    download::extractAll(archive, directory, "", [&](const std::string& member) {
      log("ERRO: membro de " + std::string(kPackageArchive) +
              " fora do diretório do pacote, não extraído: " + member,
          "2");
    });
  } catch (const std::exception&) {
    // Not an archive (a failed download): loading struct.cds next reports it.
  }
}

}  // namespace

std::string downloadErrorDetail(std::string_view error, const PackageLocation& location,
                                std::string_view urlPath, const fs::path& localFile) {
  std::string d;
  d += msgText("ErroFTP") + std::string(error) + std::string(kCrLf) + std::string(kCrLf);
  d += msgText("ServFTP") + std::string(kCrLf) + std::string(kCrLf);
  d += msgText("AddrFTP") + location.address + std::string(kCrLf);
  d += msgText("UserFTP") + location.login + std::string(kCrLf);
  d += msgText("PassFTP") + std::string(kMaskedPassword) + std::string(kCrLf);
  d += msgText("PathFTP") + std::string(urlPath) + std::string(kCrLf);
  d += msgText("ServDir") + location.fileDir + std::string(kCrLf) + std::string(kCrLf);
  d += msgText("MaqLocal") + std::string(kCrLf) + std::string(kCrLf);
  d += msgText("LocalDir") + localFile.string();
  return d;
}

std::string progressText(int64_t received, int64_t total) {
  return std::to_string(received / 1024) + msgText("KBytesReceived") + std::to_string(total / 1024);
}

fs::path retrievePackage(std::string_view reply, std::string_view token,
                         const RetrievalServices& services) {
  const PackageLocation location = parsePackageLocation(reply);
  const std::string name = packageDirectoryName(token);
  const fs::path directory = services.package.WorkingDirectory() / name;
  const fs::path localFile = directory / kPackageArchive;
  const std::string urlPath = location.path + name + "/" + kPackageArchive;

  std::error_code error;
  if (!fs::exists(directory, error) && !fs::create_directories(directory, error))
    services.log("ERRO: " + msgText("DirTmpErro"), "2");
  if (downloadHttp(location, urlPath, localFile, services))
    unpack(localFile, directory, services.log);
  return directory;
}

}  // namespace schema
