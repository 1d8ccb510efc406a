#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "db/dataset/dataset.h"
#include "db/embedded/embedded.h"
#include "download/orchestrator/orchestrator.h"
#include "download/orchestrator/packets.h"
#include "download/test_support.h"

namespace download::testing {

struct LogLine {
  std::string text;
  std::string level;
};

// A data packet of text fields.
inline db::Bytes textPacket(const std::vector<std::string>& fields,
                            const std::vector<std::vector<db::Value>>& rows = {}) {
  std::vector<db::FieldDef> defs;
  for (const auto& f : fields) defs.push_back(db::makeField(f, db::FieldType::String, 20));
  db::DataSet ds;
  ds.createDataSet(defs);
  for (const auto& row : rows) ds.appendRecord(row);
  return ds.data();
}

inline db::Bytes countPacket(const std::string& field, int64_t count) {
  db::DataSet ds;
  ds.createDataSet({db::makeField(field, db::FieldType::Int32)});
  ds.appendRecord({count});
  return ds.data();
}

// What the later stages were asked to do, in order, with the log size at the time.
struct StageLog {
  std::vector<std::string> events;
  std::vector<size_t> logSizeAt;
  const std::vector<LogLine>* log = nullptr;
  void add(std::string event) {
    events.push_back(std::move(event));
    logSizeAt.push_back(log ? log->size() : 0);
  }
  size_t indexOf(const std::string& event) const {
    for (size_t i = 0; i < events.size(); ++i)
      if (events[i] == event) return i;
    return events.size();
  }
};

struct RecordingLoad : LoadStage {
  StageLog& log;
  db::Connection* db = nullptr;
  LoadRunValues values;
  std::vector<db::Value> sales;
  bool succeeds = true;
  explicit RecordingLoad(StageLog& l) : log(l) {}
  bool ChamaInsereMSDE(const LoadRunValues& v, std::vector<db::Value>& salesVector) override {
    values = v;
    sales = salesVector;
    log.add("ChamaInsereMSDE");
    return succeeds;
  }
  void BuscaDtUltAtuTabelas(RequestVectors&) override { log.add("BuscaDtUltAtuTabelas"); }
};

struct RecordingAnticipation : AnticipationStage {
  StageLog& log;
  std::function<void()> onConfTela;
  explicit RecordingAnticipation(StageLog& l) : log(l) {}
  void anticipateConfTelaCaixa(const std::string& b, const std::string& c) override {
    if (onConfTela) onConfTela();
    log.add("confTela " + b + " " + c);
  }
  void antecipaPorHierarquia(const std::string& b, const std::string& c,
                             std::string_view group) override {
    log.add("hierarquia " + std::string(group) + " " + b + " " + c);
  }
  void catchUpConsumersByChangeDate(const std::string& b) override { log.add("consDT " + b); }
  void catchUpConsumersByClienFilial(const std::string& b) override { log.add("consCF " + b); }
};

struct RecordingCleanup : CleanupStage {
  StageLog& log;
  explicit RecordingCleanup(StageLog& l) : log(l) {}
  void cleanGeneralPriceTables() override { log.add("cleanGeneralPriceTables"); }
};

// A local database with every central table, a fake central server whose getTabelas answers a
// packet per position, and recording stages.
class OrchestratorFixture : public ::testing::Test {
 protected:
  // Every test starts from a copy of one database file holding the central tables.
  static void SetUpTestSuite() {
    templateDir_ = new TempDir();
    auto made = db::embedded::open(db::embedded::Options{templatePath().string()});
    central::createCentralDatabase(*made, central::centralModel());
    made->close();
  }
  static void TearDownTestSuite() {
    delete templateDir_;
    templateDir_ = nullptr;
  }
  static std::filesystem::path templatePath() { return templateDir_->path() / "local.db"; }

  void SetUp() override {
    std::filesystem::copy_file(templatePath(), dir_.path() / "local.db");
    db = db::embedded::open(db::embedded::Options{(dir_.path() / "local.db").string()});
    db->execute("INSERT INTO FILIAL (CDFILIAL) VALUES ('0001')");
    db->execute(
        "INSERT INTO CAIXA (CDFILIAL, CDCAIXA, CDLOJA, IDUTILABERAUTO) VALUES ('0001', '001', "
        "'L01', 'S')");
    services.log = [this](std::string_view text, std::string_view level) {
      lines.push_back({std::string(text), std::string(level)});
    };
    services.now = [] { return db::DateTime::fromParts(2026, 12, 7, 6, 30, 0); };
    services.showMessage = [this](std::string_view text) { dialogs.emplace_back(text); };
    services.waitOneSecond = [] {};
    stageLog.log = &lines;
    for (size_t p = 0; p < kReplyPositions; ++p) reply.push_back(db::Value(textPacket({"X"})));
    reply[55] = reply[69] = reply[70] = db::Value();
    reply[198] = db::Value("OK");
    // A register without consumers or benefits is asked for both whole: the server counts them.
    reply[28] = countPacket("QTDCONSUMIDOR", 0);
    reply[182] = countPacket("QTDMOVBENEFICIOCTR", 0);
    server.handlers["getTabelas"] = [this](std::vector<db::Value>&) {
      return db::Value(db::ValueArray(reply));
    };
    server.handlers["getTriggersNAplicadas"] = [this](std::vector<db::Value>&) {
      return db::Value(triggers);
    };
    for (const char* m : {"getDtMaxITMENUCONFTE", "getDtMaxItemPreco", "getDtMaxItemPrecoDia",
                          "getDtMaxDESGRUPROMOCPR"})
      server.handlers[m] = [](std::vector<db::Value>&) { return db::Value(); };
  }

  bool run(const std::string& mode, const std::string& branch = "0001") {
    Orchestrator orchestrator(*db, server, services, state, {load, anticipation, cleanup});
    return orchestrator.iniciaBaixaTabelas({branch, "001", mode, false, "N", "", ""});
  }

  const std::vector<db::Value>& request() const {
    for (const auto& call : server.calls)
      if (call.method == "getTabelas") return call.args;
    throw std::logic_error("getTabelas was not called");
  }

  void control(const std::string& table) {
    db->execute(
        "INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA, CDCAIXA, DTULTATUTAB, DTULTATU) VALUES "
        "('0001', :P_NMTABELA, '', '2026-12-01', '2026-12-01')",
        {{"P_NMTABELA", table}});
  }

  size_t count(const std::string& table) {
    auto rows = db->query("SELECT COUNT(*) FROM " + table);
    rows->next();
    return static_cast<size_t>(rows->at(0).asInt());
  }

  std::vector<std::string> linesStarting(std::string_view prefix) const {
    std::vector<std::string> found;
    for (const auto& l : lines)
      if (l.text.starts_with(prefix)) found.push_back(l.text);
    return found;
  }
  size_t lineIndex(std::string_view text) const {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].text == text) return i;
    return lines.size();
  }
  bool logged(std::string_view text) const { return lineIndex(text) < lines.size(); }

  // The last line logged, to explain a failed run.
  std::string last() const { return lines.empty() ? std::string() : lines.back().text; }

  static inline TempDir* templateDir_ = nullptr;
  TempDir dir_;
  std::unique_ptr<db::Connection> db;
  FakeAppServer server;
  Services services;
  DownloadState state;
  std::vector<LogLine> lines;
  std::vector<std::string> dialogs;
  StageLog stageLog;
  RecordingLoad load{stageLog};
  RecordingAnticipation anticipation{stageLog};
  RecordingCleanup cleanup{stageLog};
  db::ValueArray reply;
  db::Bytes triggers = textPacket({"NMTRIGGER"});
};

}  // namespace download::testing
