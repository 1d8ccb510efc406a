// kivtab-central: creates demo central databases, applies central changes and serves them.
#include <csignal>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "central/server/central_server.h"
#include "central/server/register_tokens.h"
#include "central/verify/verify_report.h"
#include "central/world/branch_settings.h"
#include "central/world/change.h"
#include "central/world/world.h"
#include "db/connect.h"
#include "db/core/connection.h"
#include "db/embedded/embedded.h"
#include "platform/terminal.h"

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  kivtab-central init --db FILE --scale S [--seed N]\n"
    "  kivtab-central change --db FILE [--seed N]\n"
    "  kivtab-central set --db FILE --branch B PARAVEND.COLUMN=VALUE ...\n"
    "  kivtab-central serve --db FILE [--listen [HOST:]PORT] [--files DIR]\n"
    "                       [--tls-cert FILE --tls-key FILE] [--tokens FILE]\n"
    "                       [--files-lifetime SECONDS]\n"
    "  kivtab-central hash-token   (reads a token on standard input, prints its sha256: form)\n"
    "  kivtab-central verify --db FILE --branch B --register R --connection LOCAL"
    " [--format text|json]\n";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Arguments {
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;  // only `set` takes any
};

Arguments arguments(int argc, char** argv) {
  Arguments parsed;
  for (int i = 2; i < argc; ++i) {
    std::string name = argv[i];
    if (name.rfind("--", 0) != 0) {
      parsed.positional.push_back(name);
      continue;
    }
    if (i + 1 >= argc) throw UsageError("unexpected argument " + name);
    parsed.options[name.substr(2)] = argv[++i];
  }
  return parsed;
}

std::string required(const std::map<std::string, std::string>& values, const std::string& name) {
  auto it = values.find(name);
  if (it == values.end() || it->second.empty()) throw UsageError("--" + name + " is required");
  return it->second;
}

uint64_t number(const std::map<std::string, std::string>& values, const std::string& name,
                uint64_t fallback) {
  auto it = values.find(name);
  if (it == values.end()) return fallback;
  try {
    size_t used = 0;
    uint64_t n = std::stoull(it->second, &used);
    if (used != it->second.size()) throw std::invalid_argument(name);
    return n;
  } catch (const std::exception&) {
    throw UsageError("--" + name + " must be a whole number");
  }
}

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

constexpr const char* kLoopback = "127.0.0.1";
constexpr const char* kDefaultPort = "8211";

std::string optional(const std::map<std::string, std::string>& values, const std::string& name) {
  auto it = values.find(name);
  return it == values.end() ? std::string() : it->second;
}

bool isLoopback(const std::string& host) {
  return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

// Who may reach the server and what they can learn decides whether to warn the operator.
void reportExposure(const std::string& host, const central::server::ServerOptions& options) {
  if (options.tokensFile.empty())
    std::cout << "kivtab-central: no --tokens file: every caller is served as any register"
              << std::endl;
  if (!isLoopback(host) && (!options.tls() || options.tokensFile.empty()))
    std::cerr << "kivtab-central: WARNING: listening on " << host << " without "
              << (options.tls() ? "register tokens" : "TLS")
              << (!options.tls() && options.tokensFile.empty() ? " and register tokens" : "")
              << ": anyone who reaches this address can read the central data and feed SQL to "
                 "registers"
              << std::endl;
}

int serve(const std::map<std::string, std::string>& values) {
  // A bare port, or none, listens on loopback only.
  std::string listen = optional(values, "listen");
  if (listen.empty()) listen = kDefaultPort;
  const auto colon = listen.rfind(':');
  const std::string host =
      colon == std::string::npos || colon == 0 ? kLoopback : listen.substr(0, colon);
  std::map<std::string, std::string> portOnly{
      {"port", colon == std::string::npos ? listen : listen.substr(colon + 1)}};
  const uint64_t port = number(portOnly, "port", 0);
  if (port > 65535) throw UsageError("port out of range");

  central::server::ServerOptions serverOptions;
  serverOptions.databasePath = required(values, "db");
  serverOptions.filesDirectory = optional(values, "files");
  serverOptions.tlsCertFile = optional(values, "tls-cert");
  serverOptions.tlsKeyFile = optional(values, "tls-key");
  if (serverOptions.tlsCertFile.empty() != serverOptions.tlsKeyFile.empty())
    throw UsageError("--tls-cert and --tls-key go together");
  serverOptions.tokensFile = optional(values, "tokens");
  serverOptions.filesLifetime = std::chrono::seconds(
      number(values, "files-lifetime", static_cast<uint64_t>(serverOptions.filesLifetime.count())));
  central::server::CentralServer server(serverOptions);
  int bound = server.bind(host, static_cast<int>(port));
  reportExposure(host, serverOptions);

  // Signals only set a flag; this thread notices it and stops the server cleanly.
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  server.start();
  std::cout << "kivtab-central listening on " << host << ":" << bound << std::endl;
  while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server.stop();
  std::cout << "kivtab-central stopped" << std::endl;
  return 0;
}

int init(const std::map<std::string, std::string>& values) {
  const std::string path = required(values, "db");
  const uint64_t scale = number(values, "scale", 0);
  if (scale < 1 || scale > 100000) throw UsageError("--scale must be between 1 and 100000");
  if (std::filesystem::exists(path)) throw UsageError(path + " exists already");
  auto db = db::embedded::open({.path = path});
  const central::Model& model = central::centralModel();
  central::createCentralDatabase(*db, model);
  auto summary =
      central::generateWorld(*db, model, static_cast<int>(scale), number(values, "seed", 1));
  std::cout << "central database " << path << ": " << summary.rowsPerTable.size() << " tables, "
            << summary.totalRows << " rows" << std::endl;
  return 0;
}

int change(const std::map<std::string, std::string>& values) {
  const std::string path = required(values, "db");
  if (!std::filesystem::exists(path)) throw UsageError(path + " does not exist");
  auto db = db::embedded::open({.path = path, .create = false});
  auto summary = central::applyChange(*db, central::centralModel(), number(values, "seed", 1));
  std::cout << "change batch at " << summary.at.iso() << ": " << summary.changedRows()
            << " rows changed" << std::endl;
  for (const auto& [table, change] : summary.tables)
    std::cout << "  " << table << ": " << change.updated.size() << " updated, "
              << change.inserted.size() << " inserted, " << change.deleted.size() << " deleted"
              << std::endl;
  return 0;
}

int set(const std::map<std::string, std::string>& values,
        const std::vector<std::string>& assignmentTexts) {
  const std::string path = required(values, "db");
  const std::string branch = required(values, "branch");
  std::vector<central::SettingAssignment> assignments;
  try {
    for (const std::string& text : assignmentTexts)
      assignments.push_back(central::parseSettingAssignment(text));
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  if (assignments.empty()) throw UsageError("set needs at least one PARAVEND.COLUMN=VALUE");
  if (!std::filesystem::exists(path)) throw UsageError(path + " does not exist");
  auto db = db::embedded::open({.path = path, .create = false});
  const auto changes = central::setBranchSettings(*db, central::centralModel(), branch, assignments,
                                                  db::DateTime::now());
  for (const central::SettingsChange& change : changes)
    std::cout << change.table << " of branch " << branch << ": " << change.rows
              << " row(s) set, update time " << change.stampedAt.iso() << std::endl;
  return 0;
}

// Exit status of verify: 0 equal, 1 different, 2 it could not be told.
constexpr int kVerifyEqual = 0;
constexpr int kVerifyDifferent = 1;
constexpr int kVerifyError = 2;

int verify(const std::map<std::string, std::string>& values) {
  const std::string path = required(values, "db");
  const std::string branch = required(values, "branch");
  const std::string registerCode = required(values, "register");
  const std::string connection = required(values, "connection");
  const std::string format = values.contains("format") ? values.at("format") : "text";
  if (format != "text" && format != "json") throw UsageError("--format must be text or json");
  if (!std::filesystem::exists(path)) throw UsageError(path + " does not exist");
  try {
    auto centralDb = db::embedded::open({.path = path, .create = false});
    auto local = db::connect(connection);
    const bool terminal = platform::isTerminal(stderr);
    auto progress = [terminal](const std::string& table, size_t index, size_t count) {
      if (terminal) std::cerr << "\rverify " << index << "/" << count << " " << table << "\033[K";
    };
    auto verification = central::verify::verifyRegister(*centralDb, *local, central::centralModel(),
                                                        branch, registerCode, progress);
    if (terminal) std::cerr << "\r\033[K";
    std::cout << (format == "json" ? central::verify::renderJson(verification)
                                   : central::verify::renderText(verification));
    return verification.equal() ? kVerifyEqual : kVerifyDifferent;
  } catch (const std::exception& e) {
    std::cerr << "kivtab-central verify: " << e.what() << "\n";
    return kVerifyError;
  }
}

int hashToken() {
  std::string token;
  std::getline(std::cin, token);
  if (!token.empty() && token.back() == '\r') token.pop_back();
  if (token.empty()) throw UsageError("no token on standard input");
  std::cout << central::server::RegisterTokens::kHashedPrefix << central::server::sha256Hex(token)
            << std::endl;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string command = argv[1];
  try {
    const Arguments parsed = arguments(argc, argv);
    if (command == "set") return set(parsed.options, parsed.positional);
    if (!parsed.positional.empty()) throw UsageError("unexpected argument " + parsed.positional[0]);
    const auto& values = parsed.options;
    if (command == "serve") return serve(values);
    if (command == "hash-token") return hashToken();
    if (command == "init") return init(values);
    if (command == "change") return change(values);
    if (command == "verify") return verify(values);
    throw UsageError("unknown command " + command);
  } catch (const UsageError& e) {
    std::cerr << "kivtab-central: " << e.what() << "\n" << kUsage;
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "kivtab-central: " << e.what() << "\n";
    return 1;
  }
}
