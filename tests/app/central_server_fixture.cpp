#include "central_server_fixture.h"

#include <stdexcept>

namespace testing_support {

CentralServer::CentralServer() {
  const ProcessResult init =
      run({KIVTAB_CENTRAL_EXE, "init", "--db", path(), "--scale", "1"}, {}, dir_.path());
  if (init.status != 0) throw std::runtime_error("central init failed: " + init.err);
  port_ = freeLoopbackPort();
  server_ = std::make_unique<Process>(
      std::vector<std::string>{KIVTAB_CENTRAL_EXE, "serve", "--db", path(), "--listen",
                               "127.0.0.1:" + std::to_string(port_)},
      std::map<std::string, std::string>{}, dir_.path());
  if (!waitForListener(port_, std::chrono::seconds(60)))
    throw std::runtime_error("the central server did not start");
}

std::string kivtabRegistry(const std::string& host, int port, const std::string& connectionString) {
  return "[" + kWebCliKey + "]\nIPServer=" + host + "\nWebPort=dword:" + std::to_string(port) +
         "\nStringConex=" + connectionString + "\n";
}

std::map<std::string, std::string> kivtabEnvironment(const std::filesystem::path& home,
                                                     const std::string& closeDelay) {
  return {{"KIVTAB_HOME", home.string()},
          {"KIVTAB_REGISTRY", (home / "registry.ini").string()},
          {"KIVTAB_CLOSE_DELAY", closeDelay}};
}

}  // namespace testing_support
