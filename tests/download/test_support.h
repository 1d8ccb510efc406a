#pragma once

#include <zip.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/core/connection.h"
#include "db/embedded/embedded.h"
#include "download/services.h"
#include "outside/app_server.h"
#include "support/observed_connection.h"
#include "support/temp_dir.h"

namespace download::testing {

// Services whose log lines are kept and whose clock stands still.
struct Recorder {
  std::vector<std::string> lines;
  db::DateTime now = db::DateTime::fromParts(2026, 12, 7, 6, 30, 0);
  int waits = 0;
  Services services;

  Recorder() {
    services.log = [this](std::string_view message, std::string_view level) {
      if (level != "3") throw std::logic_error("unexpected log level");
      lines.emplace_back(message);
    };
    services.now = [this] { return now; };
    services.waitOneSecond = [this] { ++waits; };
  }
  bool logged(std::string_view line) const {
    for (const auto& l : lines)
      if (l == line) return true;
    return false;
  }
  bool loggedStarting(std::string_view prefix) const {
    for (const auto& l : lines)
      if (l.starts_with(prefix)) return true;
    return false;
  }
  size_t countStarting(std::string_view prefix) const {
    size_t n = 0;
    for (const auto& l : lines) n += l.starts_with(prefix);
    return n;
  }
};

// An application server answering from per-method handlers and recording every call.
class FakeAppServer : public outside::AppServer {
 public:
  using Handler = std::function<db::Value(std::vector<db::Value>&)>;
  struct Call {
    std::string method;
    std::vector<db::Value> args;
  };

  std::map<std::string, Handler, std::less<>> handlers;
  std::vector<Call> calls;
  int connects = 0;
  int disconnects = 0;

  void connect() override { ++connects; }
  void disconnect() override { ++disconnects; }
  bool connected() const override { return true; }
  db::Value call(std::string_view method, std::vector<db::Value>& args) override {
    calls.push_back({std::string(method), args});
    auto handler = handlers.find(method);
    if (handler == handlers.end())
      throw outside::ServerError("no such method " + std::string(method));
    return handler->second(args);
  }
  size_t callsTo(std::string_view method) const {
    size_t n = 0;
    for (const auto& c : calls) n += c.method == method;
    return n;
  }
};

struct ZipEntry {
  std::string name;
  std::string content;
};

// Writes a zip whose members are encrypted with the traditional PKWARE method when a password
// is given.
inline void writeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries,
                     const std::string& password) {
  int code = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (!z) throw std::runtime_error("cannot create test zip");
  for (const auto& e : entries) {
    zip_source_t* source = zip_source_buffer(z, e.content.data(), e.content.size(), 0);
    const zip_int64_t index = zip_file_add(z, e.name.c_str(), source, ZIP_FL_OVERWRITE);
    if (index < 0) throw std::runtime_error("cannot add test member");
    if (!password.empty())
      zip_file_set_encryption(z, static_cast<zip_uint64_t>(index), ZIP_EM_TRAD_PKWARE,
                              password.c_str());
  }
  if (zip_close(z) != 0) throw std::runtime_error("cannot write test zip");
}

using testing_support::TempDir;

}  // namespace download::testing
