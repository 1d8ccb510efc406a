#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "central/model/central_ddl.h"
#include "db/embedded/embedded.h"
#include "download/download_state.h"
#include "download/keep_alive.h"
#include "load/load_context.h"
#include "load/load_ports.h"
#include "outside/app_server.h"
#include "support/observed_connection.h"
#include "support/temp_dir.h"

namespace load::testing {

// The application server: keep-alives counted, getTabelaCons answered from a queue.
class FakeServer : public outside::AppServer {
 public:
  int keepAlives = 0;
  int reconnects = 0;
  std::vector<std::vector<db::Value>> pageRequests;
  std::deque<db::Value> pages;

  void connect() override { ++reconnects; }
  void disconnect() override {}
  bool connected() const override { return true; }
  db::Value call(std::string_view method, std::vector<db::Value>& args) override {
    if (method == "setKeepAlive") {
      ++keepAlives;
      return {};
    }
    if (method == "getTabelaCons") {
      pageRequests.push_back(args);
      if (pages.empty()) return db::Value(db::Bytes{});
      db::Value page = pages.front();
      pages.pop_front();
      return page;
    }
    throw outside::ServerError("unexpected method " + std::string(method));
  }
};

// Server-built files: requests recorded; a load can be made to fail.
class FakeFiles : public ServerFiles {
 public:
  std::vector<download::ServerFileRequest> requests;
  bool failLoads = false;
  int64_t statements = 0;
  bool consumerOk = true;
  bool extractOk = true;

  void baixaArquivoServidor(const download::ServerFileRequest& request) override {
    requests.push_back(request);
    if (failLoads) consumerOk = extractOk = false;
  }
  int64_t totalStatements() const override { return statements; }
  bool& consumerLoadOk() override { return consumerOk; }
  bool& extractLoadOk() override { return extractOk; }
};

struct LogLine {
  std::string text;
  std::string level;
};

// A local database with the central tables, an empty download and a recording environment.
class LoadTest : public ::testing::Test {
 protected:
  LoadTest() {
    central::createCentralDatabase(conn.inner(), central::centralModel());
    state.branch = "0001";
    state.cashRegister = "001";
    env.log = [this](std::string_view text, std::string_view level) {
      logs.push_back({std::string(text), std::string(level)});
    };
    env.logError = [this](std::string_view text) { errors.emplace_back(text); };
    env.showMessage = [this](std::string_view text) { messages.emplace_back(text); };
    env.clearRunFlag = [this] { runFailed = true; };
    env.now = [this] { return now; };
    env.programDirectory = dir;
  }

  // A downloaded dataset with string fields (or the given types) and rows.
  db::DataSet& download(const std::string& name, std::vector<db::FieldDef> fields,
                        const std::vector<std::vector<db::Value>>& rows) {
    db::DataSet& ds = state.dataset(name);
    ds.createDataSet(std::move(fields));
    for (const auto& row : rows) ds.appendRecord(row);
    return ds;
  }
  static db::FieldDef text(std::string name, int size = 20) {
    return db::makeField(std::move(name), db::FieldType::String, size);
  }
  static db::FieldDef date(std::string name) {
    return db::makeField(std::move(name), db::FieldType::DateTime);
  }
  static db::FieldDef number(std::string name) {
    return db::makeField(std::move(name), db::FieldType::Float);
  }
  // Every column of a local table as a text field, for downloads that carry whole rows.
  std::vector<db::FieldDef> columnsOf(const std::string& table) {
    std::vector<db::FieldDef> fields;
    for (const auto& name : tableColumns(conn.inner(), table)) {
      fields.push_back(name.rfind("DT", 0) == 0 ? date(name) : text(name, 60));
    }
    return fields;
  }
  using Cells = std::map<std::string, db::Value>;
  // A download shaped like the local table, each row given by its non-null cells; a column given
  // a double in any row is downloaded as a number.
  db::DataSet& downloadTable(const std::string& name, const std::string& table,
                             const std::vector<Cells>& rows) {
    auto fields = columnsOf(table);
    std::vector<std::vector<db::Value>> values;
    for (const auto& cells : rows) {
      std::vector<db::Value> row(fields.size());
      for (size_t i = 0; i < fields.size(); ++i) {
        const auto it = cells.find(fields[i].name);
        if (it == cells.end()) continue;
        row[i] = it->second;
        if (row[i].kind() == db::Value::Kind::Double) fields[i] = number(fields[i].name);
      }
      values.push_back(std::move(row));
    }
    return download(name, std::move(fields), values);
  }
  // Inserts a local row given by its cells.
  void localRow(const std::string& table, const Cells& cells) {
    std::string names, params;
    db::Params values;
    for (const auto& [name, value] : cells) {
      names += (names.empty() ? "" : ", ") + name;
      params += (params.empty() ? ":P_" : ", :P_") + name;
      values.push_back({"P_" + name, value});
    }
    conn.inner().execute("INSERT INTO " + table + " (" + names + ") VALUES (" + params + ")",
                         values);
  }
  bool logged(std::string_view text) const {
    for (const auto& line : logs)
      if (line.text == text) return true;
    return false;
  }
  size_t logIndex(std::string_view text) const {
    for (size_t i = 0; i < logs.size(); ++i)
      if (logs[i].text == text) return i;
    return logs.size();
  }

  // The first column of a one-value query, as text.
  std::string textOf(std::string_view sql) { return conn.scalar(sql).asText(); }

  db::DateTime now = db::DateTime::fromParts(2026, 12, 7, 6, 30, 0);
  testing_support::ObservedConnection conn;
  download::DownloadState state;
  LoadEnvironment env;
  FakeServer server;
  download::KeepAlive keepAlive{server};
  LoadContext ctx{conn, state, env, keepAlive};
  testing_support::TempDir scratch;
  std::filesystem::path dir = scratch.path();
  std::vector<LogLine> logs;
  std::vector<std::string> errors;
  std::vector<std::string> messages;
  bool runFailed = false;
};

}  // namespace load::testing
