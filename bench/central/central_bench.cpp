// Builds a demo world of about 1,000,000 rows and answers one full getTabelas from a server in a
// child process, reporting time and peak memory. The baseline, in this process, reads the
// largest table's rows straight from the database.
#include <curl/curl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <thread>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "central/server/central_server.h"
#include "central/world/world.h"
#include "common/measure.h"
#include "db/embedded/embedded.h"
#include "outside/protocol.h"

namespace {

using bench::Clock;

volatile std::sig_atomic_t stop = 0;
void onTerm(int) { stop = 1; }

size_t discard(char*, size_t size, size_t count, void* total) {
  *static_cast<size_t*>(total) += size * count;
  return size * count;
}

std::string tabelasRequest() {
  db::ValueArray dates(central::Model::kSlotCount,
                       db::Value(db::DateTime::fromParts(1985, 1, 1, 12)));
  std::vector<db::Value> args{"0001",      "001",
                              "01",        dates,
                              dates,       false,
                              false,       "",
                              "",          "TABELAS",
                              db::Value(), db::Value(),
                              db::Value(), db::ValueArray(9, db::Value("N"))};
  return outside::protocol::encodeRequest(args);
}

}  // namespace

int main(int argc, char** argv) {
  const int scale = argc > 1 ? std::atoi(argv[1]) : 265;
  const auto dir =
      std::filesystem::temp_directory_path() / ("kivtab_central_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "central.db").string();

  auto start = Clock::now();
  int64_t rows = 0;
  {
    auto db = db::embedded::open({.path = path});
    central::createCentralDatabase(*db, central::centralModel());
    rows = central::generateWorld(*db, central::centralModel(), scale, 1).totalRows;
  }
  std::cout << "init: scale " << scale << ", " << rows << " rows, " << bench::secondsSince(start)
            << " s, peak " << bench::peakKilobytes() / 1024 << " MiB\n";

  // Baseline: every row of the largest table of the branch, read in this process.
  start = Clock::now();
  int64_t baselineRows = 0;
  {
    auto db = db::embedded::open({.path = path, .create = false});
    auto result = db->query("SELECT * FROM CONSUMIDOR");
    while (result->next()) ++baselineRows;
  }
  const double baseline = bench::secondsSince(start);

  central::server::ServerOptions options;
  options.databasePath = path;
  central::server::CentralServer* server = new central::server::CentralServer(options);
  const int port = server->bind("127.0.0.1", 0);
  pid_t child = fork();
  if (child == 0) {
    std::signal(SIGTERM, onTerm);
    server->start();
    while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    server->stop();
    _exit(0);
  }

  const std::string body = tabelasRequest();
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/rdmExpDados/getTabelas";
  size_t received = 0;
  CURL* curl = curl_easy_init();
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
  start = Clock::now();
  CURLcode code = curl_easy_perform(curl);
  const double full = bench::secondsSince(start);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);

  kill(child, SIGTERM);
  int status = 0;
  rusage childUsage{};
  wait4(child, &status, 0, &childUsage);
  std::filesystem::remove_all(dir);
  if (code != CURLE_OK) {
    std::cerr << "getTabelas failed: " << curl_easy_strerror(code) << "\n";
    return 1;
  }
  std::cout << "getTabelas: " << received / (1024 * 1024) << " MiB reply, " << full
            << " s, server peak " << childUsage.ru_maxrss / 1024 << " MiB\n"
            << "baseline: " << baselineRows << " CONSUMIDOR rows read in " << baseline
            << " s; full getTabelas / baseline = " << full / baseline << "\n";
  return 0;
}
