#pragma once

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/run_steps.h"
#include "app/run_view.h"
#include "db/core/value.h"
#include "outside/app_server.h"
#include "register_packet.h"

namespace testing_support {

// The window as the tests see it.
struct RecordingView : app::RunView {
  std::vector<std::string> lines;
  app::ProgressBar estrutura{0, 0, 0}, tabelas{0, 0, 0};
  bool hidden = false;
  std::string finalText;
  app::MessageColour colour = app::MessageColour::Black;
  void setHidden(bool h) override { hidden = h; }
  void logLine(std::string_view line) override { lines.emplace_back(line); }
  void progress(const app::ProgressBar& e, const app::ProgressBar& t) override {
    estrutura = e;
    tabelas = t;
  }
  void finalMessage(std::string_view text, app::MessageColour c) override {
    finalText = text;
    colour = c;
  }
};

// Register records the fake central server knows, by (branch, register).
struct CentralRegisters {
  std::map<std::pair<std::string, std::string>, std::pair<std::string, std::string>> records;
  bool down = false;
  int calls = 0;
};

// rdmExpDados as far as the register check uses it.
class FakeAppServer : public outside::AppServer {
 public:
  explicit FakeAppServer(CentralRegisters& central) : central_(central) {}
  void connect() override {
    if (central_.down) throw outside::ServerError("connection refused");
    connected_ = true;
  }
  void disconnect() override { connected_ = false; }
  bool connected() const override { return connected_; }
  db::Value call(std::string_view method, std::vector<db::Value>& args) override {
    if (!connected_) connect();
    ++central_.calls;
    if (method != "getCxServidor") throw outside::ServerError("unknown method");
    const auto it = central_.records.find({args.at(0).asText(), args.at(1).asText()});
    if (it == central_.records.end()) return registerPacket("", "", false);
    return registerPacket(it->second.first, it->second.second, true);
  }

 private:
  CentralRegisters& central_;
  bool connected_ = false;
};

// What the later steps were asked to do; a step can be told to fail or to look at the run.
struct Recorder {
  std::vector<std::string> calls;
  bool schemaApplies = true;
  bool schemaThrows = false;
  bool downloadFails = false;
  std::function<void(app::RunContext&)> duringSchema, duringDownload;
  app::DownloadRunValues downloadValues;
};

// The later steps of a run, each recording into one Recorder.
inline app::RunSteps recordingSteps(Recorder& rec) {
  struct Schema : app::SchemaSteps {
    Recorder& r;
    explicit Schema(Recorder& x) : r(x) {}
    bool UpdateMSDECache(app::RunContext& run) override {
      r.calls.push_back("UpdateMSDECache");
      if (r.duringSchema) r.duringSchema(run);
      if (r.schemaThrows) throw std::runtime_error("estrutura falhou");
      return r.schemaApplies;
    }
    void AplicaProcedures(app::RunContext&) override { r.calls.push_back("AplicaProcedures"); }
  };
  struct ForeignKeys : app::ForeignKeySteps {
    Recorder& r;
    explicit ForeignKeys(Recorder& x) : r(x) {}
    void applyForeignKeys(app::RunContext&) override { r.calls.push_back("applyForeignKeys"); }
  };
  struct Download : app::DownloadSteps {
    Recorder& r;
    explicit Download(Recorder& x) : r(x) {}
    void iniciaBaixaTabelas(app::RunContext& run, const app::DownloadRunValues& v) override {
      r.calls.push_back("iniciaBaixaTabelas");
      r.downloadValues = v;
      if (r.duringDownload) r.duringDownload(run);
      if (r.downloadFails) run.flag.clear();
    }
  };
  struct Hooks : app::SiteHookSteps {
    Recorder& r;
    explicit Hooks(Recorder& x) : r(x) {}
    void AplicaTriggerTrilobit(app::RunContext&, const std::string& b) override {
      r.calls.push_back("AplicaTriggerTrilobit " + b);
    }
    void AplicaProcedureTrielo(app::RunContext&, const std::string& b) override {
      r.calls.push_back("AplicaProcedureTrielo " + b);
    }
    void ArredondaPrecoDia(app::RunContext&) override { r.calls.push_back("ArredondaPrecoDia"); }
    void AplicaViewConsAtivo(app::RunContext&) override {
      r.calls.push_back("AplicaViewConsAtivo");
    }
  };
  struct Consumer : app::ConsumerCentralSteps {
    Recorder& r;
    explicit Consumer(Recorder& x) : r(x) {}
    void setupDebit(app::RunContext&, const app::ConsumerCentralTarget& t) override {
      r.calls.push_back("setupDebit " + t.branch + " " + t.nmSqlNameDb + " " + t.nmSqlSchemaDb);
    }
    void setupStatement(app::RunContext&, const app::ConsumerCentralTarget&) override {
      r.calls.push_back("setupStatement");
    }
    void setupPassword(app::RunContext&, const app::ConsumerCentralTarget&) override {
      r.calls.push_back("setupPassword");
    }
  };
  struct Fiscal : app::FiscalSteps {
    Recorder& r;
    explicit Fiscal(Recorder& x) : r(x) {}
    void getSintegra(app::RunContext& run) override {
      r.calls.push_back("getSintegra " + run.slots.mode());
    }
  };
  app::RunSteps steps;
  steps.schema = std::make_unique<Schema>(rec);
  steps.foreignKeys = std::make_unique<ForeignKeys>(rec);
  steps.download = std::make_unique<Download>(rec);
  steps.siteHooks = std::make_unique<Hooks>(rec);
  steps.consumerCentral = std::make_unique<Consumer>(rec);
  steps.fiscal = std::make_unique<Fiscal>(rec);
  return steps;
}

}  // namespace testing_support
