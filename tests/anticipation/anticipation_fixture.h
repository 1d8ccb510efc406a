#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "../download/test_support.h"
#include "download/anticipation/anticipation.h"
#include "download/anticipation/consumer_columns.h"

namespace download::anticipation_testing {

using download::testing::FakeAppServer;
using download::testing::TempDir;
using download::testing::ZipEntry;

// Writes the statement file it is given as a protected zip, or fails.
class FakeFetcher : public FileFetcher {
 public:
  std::vector<ZipEntry> entries;
  bool fail = false;
  int fetches = 0;
  void getInsertFile(const std::filesystem::path& localFile, std::string_view,
                     std::string_view) override {
    ++fetches;
    if (fail) throw outside::ServerError("fetch failed");
    download::testing::writeZip(localFile, entries, std::string(kZipPassword));
  }
};

// Records each merge with the dataset's row count at that moment.
class FakeMerges : public AnticipationMerges {
 public:
  struct Merge {
    std::string table;
    MergeSettings settings;
    size_t rows;
  };
  explicit FakeMerges(DownloadState& state) : state_(state) {}
  std::map<std::string, std::string> datasetOf;
  std::vector<Merge> merges;
  void mergeTable(std::string_view table, const MergeSettings& settings) override {
    size_t rows = 0;
    auto it = datasetOf.find(std::string(table));
    if (it != datasetOf.end())
      if (db::DataSet* ds = state_.findDataset(it->second); ds && ds->active())
        rows = ds->recordCount();
    merges.push_back({std::string(table), settings, rows});
  }
  std::vector<std::string> tables() const {
    std::vector<std::string> out;
    for (const auto& m : merges) out.push_back(m.table);
    return out;
  }

 private:
  DownloadState& state_;
};

class FakeCleanup : public CleanupStage {
 public:
  std::vector<std::string> screenCleanups;
  void cleanScreenConfigurations(const std::string& branch,
                                 const std::string& cashRegister) override {
    screenCleanups.push_back(branch + "/" + cashRegister);
  }
};

// A data packet of text fields holding the given rows.
inline db::Value packet(const std::vector<std::string>& fields,
                        const std::vector<std::vector<db::Value>>& rows) {
  db::DataSet ds;
  std::vector<db::FieldDef> defs;
  for (const auto& f : fields) {
    db::FieldDef def;
    def.name = f;
    const bool date = f.starts_with("DT");
    def.type = date ? db::FieldType::DateTime : db::FieldType::String;
    def.size = date ? 0 : 100;
    defs.push_back(def);
  }
  ds.createDataSet(defs);
  for (const auto& r : rows) ds.appendRecord(r);
  return db::Value(ds.data());
}

class AnticipationFixture : public ::testing::Test {
 protected:
  AnticipationFixture() {
    services.log = [this](std::string_view text, std::string_view level) {
      lines.push_back(std::string(level) + "|" + std::string(text));
    };
    services.now = [] { return db::DateTime::fromParts(2026, 12, 8, 10, 0, 0); };
    services.waitOneSecond = [] {};
    transfer.setHooks(&anticipation);
    for (const auto& [table, dataset] :
         std::vector<std::pair<std::string, std::string>>{{"FILITABGER", "cdsFiliTabGer"},
                                                          {"TABEPRECGER", "cdsTABEPRECGER"},
                                                          {"TABEVENDGER", "cdsTabeVendGer"},
                                                          {"ITEMPRECOGER", "cdsItemPrecoGer"},
                                                          {"ITEMPRECODIAGER", "cdsItemPrecoDiaGer"},
                                                          {"PRODUTO", "cdsProduto"},
                                                          {"PRODUTOSEG", "cdsProdutoSeg"},
                                                          {"CONFTELA", "cdsConfTela"},
                                                          {"ITMENUCONFTE", "cdsItMenuConfTe"},
                                                          {"CONFTELACAIXA", "cdsConfTelaCaixa"},
                                                          {"CONSUMIDOR", "cdsConsumidor"},
                                                          {"CLIENFILIAL", "cdsClienFilial"}})
      merges.datasetOf[table] = dataset;
    server.handlers["getNRORG"] = [](auto&) { return db::Value("7"); };
    server.handlers["setGeraArquivo"] = [](auto&) { return db::Value("/files/gen/"); };
    server.handlers["getAcessoArquivo"] = [](auto& args) {
      return db::Value("access-line\r\n" + args.at(0).asText() + ".zip");
    };
    server.handlers["setApagaArquivo"] = [](auto&) { return db::Value("Arquivo apagado"); };
    server.handlers["setKeepAlive"] = [](auto&) { return db::Value(); };
    db.execute(
        "CREATE TABLE CTRLBAIXATAB (CDFILIAL VARCHAR(4), NMTABELA VARCHAR(30), CDCAIXA "
        "VARCHAR(3), DTULTATUTAB DATETIME, DTULTATU DATETIME)");
    db.execute(
        "CREATE TABLE CTRLATUALTAB (NMTABELA VARCHAR(30), DSCHAVE VARCHAR(100), DTULTATU "
        "DATETIME)");
  }

  bool logged(std::string_view level, std::string_view text) const {
    const std::string line = std::string(level) + "|" + std::string(text);
    for (const auto& l : lines)
      if (l == line) return true;
    return false;
  }

  testing_support::ObservedConnection db;
  Services services;
  std::vector<std::string> lines;
  FakeAppServer server;
  FakeFetcher fetcher;
  TempDir dir;
  ServerFileTransfer transfer{db, server, fetcher, dir.path(), services};
  DownloadState state;
  FakeMerges merges{state};
  FakeCleanup cleanup;
  Anticipation anticipation{db, server, transfer, services, state, merges, cleanup};
};

}  // namespace download::anticipation_testing
