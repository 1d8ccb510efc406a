#include "odbc_test_env.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "test_paths.h"

namespace odbc_test {
namespace {

constexpr const char* kDriverDir = "/usr/lib/x86_64-linux-gnu/odbc/";

std::string makeDirectory() {
  const auto dir = std::filesystem::path(KIVTAB_BINARY_DIR) / "odbc-test" /
                   std::to_string(static_cast<long>(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream ini(dir / "odbcinst.ini");
  ini << "[KivSQLite]\nDriver=" << kDriverDir << "libsqlite3odbc.so\n\n"
      << "[FreeTDS]\nDriver=" << kDriverDir << "libtdsodbc.so\n";
  setenv("ODBCSYSINI", dir.c_str(), 1);
  setenv("ODBCINSTINI", "odbcinst.ini", 1);
  return dir.string();
}

}  // namespace

const std::string& registerDrivers() {
  static const std::string dir = makeDirectory();
  return dir;
}

std::string freshDatabasePath(const std::string& name) {
  const auto path = std::filesystem::path(registerDrivers()) / (name + ".db");
  std::filesystem::remove(path);
  return path.string();
}

}  // namespace odbc_test
