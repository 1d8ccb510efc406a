// The kivtab program's structure update against the reference central server. The package is
// fetched through a proxy of the test's own, which can change the central model on its way (the
// server builds the package from its compiled-in model).
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>

#include "central/model/model.h"
#include "db/connect.h"
#include "db/core/connection.h"
#include "db/core/text.h"
#include "db/dataset/dataset.h"
#include "download/statement_files/zip_extractor.h"
#include "package_writer.h"
#include "schema/statements.h"
#include "support/background_http_server.h"
#include "support/central_server_fixture.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ProcessResult;
using testing_support::TempDir;

// A forward proxy for plain HTTP GETs. When `change` is set it rewrites struct.cds inside
// struct.zip before handing it on.
class PackageProxy {
 public:
  std::function<void(db::DataSet& structure)> change;
  std::atomic<int> packages{0};

  PackageProxy() {
    http_.server().Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
      const std::string& target = request.target;
      const size_t hostStart = target.find("://") + 3;
      const size_t pathStart = target.find('/', hostStart);
      const std::string hostPort = target.substr(hostStart, pathStart - hostStart);
      httplib::Client upstream(hostPort.substr(0, hostPort.find(':')),
                               std::stoi(hostPort.substr(hostPort.find(':') + 1)));
      auto answer = upstream.Get(target.substr(pathStart));
      if (!answer) {
        response.status = 502;
        return;
      }
      response.status = answer->status;
      std::string body = answer->body;
      if (answer->status == 200 && target.ends_with("/struct.zip")) {
        ++packages;
        if (change) body = rewrite(body);
      }
      response.set_content(body, "application/zip");
    });
    http_.start();
  }
  int port() const { return http_.port(); }

 private:
  std::string rewrite(const std::string& zip) {
    TempDir work;
    testing_support::writeFile(work.path() / "in.zip", zip);
    download::extractAll(work.path() / "in.zip", work.path(), "", [](const std::string&) {});
    db::DataSet structure;
    structure.loadFromFile(work.path() / "struct.cds");
    change(structure);
    structure.saveToFile(work.path() / "struct.cds");
    std::vector<std::pair<std::string, std::string>> members;
    for (const char* name : {"struct.cds", "constraints.cds"})
      if (fs::exists(work.path() / name))
        members.emplace_back(name, testing_support::readFile(work.path() / name));
    schema_test::writeZip(work.path() / "out.zip", members);
    return testing_support::readFile(work.path() / "out.zip");
  }

  testing_support::BackgroundHttpServer http_;
};

// Sets a column of one package table: FIELD_TYPE, NULLABLE and COL_DEFAULT.
void changeColumn(db::DataSet& structure, const std::string& table, const std::string& column,
                  const std::string& type, const std::string& nullable,
                  const std::string& colDefault) {
  ASSERT_TRUE(structure.locate("TABLE_NAME", {db::Value(table)}));
  db::DataSet& columns = structure.nested("adqColunas");
  ASSERT_TRUE(columns.locate("COL_NAME", {db::Value(column)}));
  columns.edit();
  columns.fieldByName("FIELD_TYPE").setString(type);
  columns.fieldByName("NULLABLE").setString(nullable);
  columns.fieldByName("COL_DEFAULT").setString(colDefault);
  columns.post();
}

class SchemaStructureRun : public testing_support::KivtabRunSuite {
 protected:
  static void SetUpTestSuite() {
    KivtabRunSuite::SetUpTestSuite();
    proxy_ = new PackageProxy();
  }
  static void TearDownTestSuite() {
    delete proxy_;
    KivtabRunSuite::TearDownTestSuite();
  }

  void SetUp() override {
    conn = "Provider=SQLite;User ID=dbo;Data Source=" + (home.path() / "local.db").string();
    testing_support::writeFile(
        home.path() / "registry.ini",
        testing_support::kivtabRegistry("127.0.0.1", central_->port(), conn) +
            "HttpUseProxy=dword:1\nHttpProxyHost=127.0.0.1\nHttpProxyPort=" +
            std::to_string(proxy_->port()) + "\n");
    proxy_->change = nullptr;
  }

  ProcessResult kivtab() {
    return testing_support::run({KIVTAB_EXE, "TABELAS_0001_001_"},
                                testing_support::kivtabEnvironment(home.path()), output.path(),
                                std::chrono::seconds(300));
  }

  // The structure update ran to its end: no exception line in the run log.
  void expectUpdated(const ProcessResult& r) {
    const std::string log = allLogs();
    EXPECT_NE(log.find("INÍCIO DA CRIAÇÃO DE ESTRUTURA DAS TABELAS"), std::string::npos) << r.out;
    EXPECT_EQ(log.find("Exception UpdateMSDECache"), std::string::npos) << log;
  }

  std::string allLogs() {
    std::string text;
    const fs::path dir = home.path() / "Dados" / "Kiv_Tab";
    if (fs::exists(dir))
      for (const auto& entry : fs::directory_iterator(dir))
        text += db::cp1252ToUtf8(testing_support::readFile(entry.path()));
    return text;
  }

  // Every local column with its type, nullability and default, and every index name.
  std::set<std::string> catalogue() {
    auto db = db::connect(conn);
    std::set<std::string> found;
    auto columns = db->query(schema::sql::kLocalStructAllTables, {{"P_OWNER", "DBO"}});
    while (columns->next())
      found.insert((*columns)["TABLE_NAME"].asText() + "." + (*columns)["COL_NAME"].asText() + " " +
                   (*columns)["FIELD_TYPE"].asText() + " " + (*columns)["NULLABLE"].asText() + " " +
                   (*columns)["COL_DEFAULT"].asText());
    auto indexes = db->query(schema::sql::kAllIndexNames);
    while (indexes->next()) found.insert("index " + indexes->at(0).asText());
    return found;
  }

  std::vector<std::string> column(const std::string& table, const std::string& name) {
    auto db = db::connect(conn);
    auto rows = db->query(schema::sql::kLocalStructMSDE, {{"P_OWNER", "DBO"}, {"P_TABLE", table}});
    while (rows->next())
      if ((*rows)["COL_NAME"].asText() == name)
        return {(*rows)["FIELD_TYPE"].asText(), (*rows)["NULLABLE"].asText(),
                (*rows)["COL_DEFAULT"].asText()};
    return {};
  }

  static inline PackageProxy* proxy_ = nullptr;
};

TEST_F(SchemaStructureRun,
       EmptyDatabaseGetsEveryTableThenNothingChangesThenACentralChangeIsApplied) {
  const int packagesBefore = proxy_->packages;
  expectUpdated(kivtab());
  EXPECT_EQ(proxy_->packages, packagesBefore + 1);

  const central::Model& model = central::centralModel();
  const std::set<std::string> first = catalogue();
  for (const auto& entry : model.cacheList()) {
    const central::Table* table = model.findTable(entry.table);
    if (!table) continue;
    SCOPED_TRACE(table->name);
    for (const auto& c : table->columns) {
      const bool key =
          table->primaryKey && std::count(table->primaryKey->columns.begin(),
                                          table->primaryKey->columns.end(), c.name) > 0;
      const auto local = column(table->name, c.name);
      ASSERT_EQ(local.size(), 3u) << c.name;
      EXPECT_EQ(local[0], db::upper(c.type)) << c.name;
      EXPECT_EQ(local[1], c.nullable && !key ? "NULL" : "NOT NULL") << c.name;
    }
    // CTRLBAIXATAB's key is dropped at the end of every pass.
    if (table->primaryKey && table->name != "CTRLBAIXATAB") {
      EXPECT_TRUE(first.count("index " + table->primaryKey->name));
    }
    for (const auto& index : table->indexes) EXPECT_TRUE(first.count("index " + index.name));
  }

  expectUpdated(kivtab());
  EXPECT_EQ(catalogue(), first);

  {
    auto db = db::connect(conn);
    db->execute("DELETE FROM PRODUTO WHERE CDPRODUTO = 'E2E-1'");
    db->execute(
        "INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, IDPRODATIVPR) VALUES ('E2E-1', 'kept', NULL)");
  }
  proxy_->change = [](db::DataSet& structure) {
    changeColumn(structure, "PRODUTO", "NMPRODUTO", "VARCHAR(80)", "NULL", "");
    changeColumn(structure, "PRODUTO", "IDPRODATIVPR", "VARCHAR(1)", "NOT NULL", "'S'");
  };
  expectUpdated(kivtab());
  EXPECT_EQ(column("PRODUTO", "NMPRODUTO"), (std::vector<std::string>{"VARCHAR(80)", "NULL", ""}));
  EXPECT_EQ(column("PRODUTO", "IDPRODATIVPR")[1], "NOT NULL");
  auto db = db::connect(conn);
  auto row = db->query("SELECT NMPRODUTO, IDPRODATIVPR FROM PRODUTO WHERE CDPRODUTO = 'E2E-1'");
  ASSERT_TRUE(row->next());
  EXPECT_EQ(row->at(0).asText(), "kept");
  EXPECT_EQ(row->at(1).asText(), "S");
}

}  // namespace
