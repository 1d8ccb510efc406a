#include "central/server/central_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "central/server/service.h"
#include "central/server/whole_tables.h"
#include "central/world/change.h"
#include "central/world/world.h"
#include "db/embedded/embedded.h"
#include "outside/app_server.h"
#include "outside/http_transport.h"
#include "outside/server_url.h"
#include "packet_view.h"
#include "support/temp_dir.h"

namespace central::server {
namespace {

namespace fs = std::filesystem;

using namespace packet_view;

size_t rows(const db::Value& packet) { return rowCount(of(packet)); }
std::string first(const db::Value& packet, const char* field) {
  auto values = column(of(packet), field);
  return values.empty() ? "<none>" : values[0];
}

// Reads one member of a zip, with a password when given; throws on failure.
std::string zipMember(const fs::path& archive, const std::string& member, const char* password) {
  int code = 0;
  zip_t* zip = zip_open(archive.c_str(), ZIP_RDONLY, &code);
  if (!zip) throw std::runtime_error("cannot open zip");
  if (password) zip_set_default_password(zip, password);
  zip_file_t* file = zip_fopen(zip, member.c_str(), 0);
  if (!file) {
    zip_close(zip);
    throw std::runtime_error("cannot open member");
  }
  std::string content;
  char buffer[4096];
  zip_int64_t n;
  while ((n = zip_fread(file, buffer, sizeof buffer)) > 0) content.append(buffer, n);
  zip_fclose(file);
  zip_close(zip);
  if (n < 0) throw std::runtime_error("cannot read member");
  return content;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0, end;
  while ((end = text.find("\r\n", start)) != std::string::npos) {
    out.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

class CentralServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch_ = new testing_support::TempDir();
    dir_ = scratch_->path();
    dbPath_ = (dir_ / "central.db").string();
    auto db = db::embedded::open({.path = dbPath_});
    createCentralDatabase(*db, centralModel());
    generateWorld(*db, centralModel(), 1, 1);
    db.reset();
    ServerOptions options;
    options.databasePath = dbPath_;
    options.filesDirectory = (dir_ / "files").string();
    options.maxRequestBytes = 1 << 20;
    server_ = new CentralServer(options);
    port_ = server_->bind("127.0.0.1", 0);
    server_->start();
  }
  static void TearDownTestSuite() {
    delete server_;
    delete scratch_;
  }

  std::unique_ptr<outside::AppServer> client(const char* object = "rdmExpDados") {
    return outside::makeHttpAppServer(object, [] {
      return outside::Endpoint{"127.0.0.1", port_, {}};
    });
  }
  std::string url(const std::string& path) {
    return outside::serverUrl({"127.0.0.1", port_, {}}, path);
  }

  // getTabelas with every request date set to `date`, as a TABELAS run of register 001.
  db::ValueArray tabelas(db::DateTime date, const char* wholeConsumers = "N") {
    db::ValueArray dates(Model::kSlotCount, db::Value(date));
    db::ValueArray indicators(9, db::Value("N"));
    indicators[0] = db::Value(wholeConsumers);
    std::vector<db::Value> args{"0001",      "001",     "01",        dates,
                                dates,       false,     false,       "00000000000000000000",
                                "",          "TABELAS", db::Value(), db::Value(),
                                db::Value(), indicators};
    auto c = client();
    db::Value result = c->call("getTabelas", args);
    return result.getArray();
  }

  int64_t count(const std::string& sql) {
    auto db = db::embedded::open({.path = dbPath_, .create = false});
    auto rows = db->query(sql);
    return rows->next() ? rows->at(0).asInt() : -1;
  }

  static inline testing_support::TempDir* scratch_ = nullptr;
  static inline fs::path dir_;
  static inline std::string dbPath_;
  static inline CentralServer* server_ = nullptr;
  static inline int port_ = 0;
};

// Requests do not wait for each other: two read at once, each on its own snapshot, so a
// getTabelas written out slowly reads every table as it was when it began.
TEST_F(CentralServerTest, RequestsReadSideBySideEachFromItsOwnSnapshot) {
  auto writer = db::embedded::open({.path = dbPath_, .create = false});
  writer->execute("CREATE TABLE SNAPSHOT_PROBE (A INT)");
  auto rowsIn = [](db::Connection& conn) {
    auto rows = conn.query("SELECT COUNT(*) FROM SNAPSHOT_PROBE");
    rows->next();
    return rows->at(0).asInt();
  };
  ServerOptions options;
  options.databasePath = dbPath_;
  options.filesDirectory = (dir_ / "files").string();
  Service service(options);
  auto slow = service.read();
  EXPECT_EQ(rowsIn(slow->db()), 0);
  writer->execute("INSERT INTO SNAPSHOT_PROBE VALUES (1)");
  auto other = service.read();
  EXPECT_EQ(rowsIn(other->db()), 1);
  EXPECT_EQ(rowsIn(slow->db()), 0);
  slow.reset();
  other.reset();
  writer->execute("DROP TABLE SNAPSHOT_PROBE");
}

// A client that sends half a request and then nothing: it holds one of the server's workers
// until the read times out, and nothing else.
class StalledClient {
 public:
  explicit StalledClient(int port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
      throw std::runtime_error("cannot connect");
    const std::string head =
        "POST /rdmExpDados/getNRORG HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n[";
    if (::send(socket_, head.data(), head.size(), 0) != static_cast<ssize_t>(head.size()))
      throw std::runtime_error("cannot send");
  }
  ~StalledClient() { ::close(socket_); }
  // True while the server keeps waiting for the rest: nothing answered, the connection open.
  bool stillWaiting() const {
    char byte;
    return ::recv(socket_, &byte, 1, MSG_DONTWAIT) < 0 && errno == EAGAIN;
  }

 private:
  int socket_;
};

// More stalled clients than registers that run at once, and a register is still answered while
// every one of them is waiting.
TEST_F(CentralServerTest, StalledClientsHoldNobodyElseUp) {
  std::vector<std::unique_ptr<StalledClient>> stalled;
  for (int i = 0; i < 12; ++i) stalled.push_back(std::make_unique<StalledClient>(port_));
  auto c = client();
  std::vector<db::Value> args{"0001", "001"};
  EXPECT_EQ(c->call("getCxServidor", args).kind(), db::Value::Kind::Bytes);
  for (const auto& one : stalled) EXPECT_TRUE(one->stillWaiting());
}

TEST_F(CentralServerTest, RegisterCheckAndSmallMethods) {
  auto c = client();
  std::vector<db::Value> args{"0001", "002"};
  auto cx = c->call("getCxServidor", args);
  ASSERT_EQ(rows(cx), 1u);
  EXPECT_EQ(first(cx, "IPSERVPRI"), "127.0.0.1");
  EXPECT_NE(first(cx, "IDAUTOIMPTAB"), "N");
  args = {"0001", "009"};
  EXPECT_EQ(first(c->call("getCxServidor", args), "IDAUTOIMPTAB"), "N");
  args = {"9999", "001"};
  EXPECT_EQ(rows(c->call("getCxServidor", args)), 0u);

  args = {"0001"};
  EXPECT_EQ(c->call("getNRORG", args), db::Value("1"));
  EXPECT_TRUE(c->call("setKeepAlive").isNull());
  EXPECT_EQ(c->call("getBanco"), db::Value("ORACLE"));
  EXPECT_EQ(rows(c->call("getTriggersNAplicadas")), 0u);
  args = {"0001"};
  EXPECT_EQ(c->call("getDtMaxItemPreco", args).kind(), db::Value::Kind::DateTime);

  args = {"SINTEGRA",
          "0001",
          db::DateTime::fromParts(2026, 1, 1),
          db::DateTime::fromParts(2026, 12, 31),
          "",
          ""};
  auto fiscal = c->call("getSintegraQir", args);
  ASSERT_GE(rows(fiscal), 2u);
  EXPECT_EQ(first(fiscal, "NRORDREGARQ"), "1");
  EXPECT_EQ(first(fiscal, "DSREGARQMAG").substr(0, 3), "10|");
}

TEST_F(CentralServerTest, FiscalLinesAreLaidOutByModeAndCountThemselves) {
  auto c = client();
  db::embedded::open({.path = dbPath_})
      ->execute(
          "INSERT INTO VENDA (CDFILIAL, CDCAIXA, NRSEQVENDA, DTVENDA, VRTOTVENDA) VALUES "
          "('0001', '001', 'F1', '2050-06-01 10:00:00', 12.5)");
  auto ask = [&](const std::string& mode, const std::string& branch) {
    std::vector<db::Value> args{
        mode, branch, db::DateTime::fromParts(2000, 1, 1), db::DateTime::fromParts(2100, 12, 31),
        "T1", ""};
    return column(of(c->call("getSintegraQir", args)), "DSREGARQMAG");
  };
  struct Case {
    std::string mode, header, sale, trailer, knownSale;
  };
  for (const Case& m : {Case{"SINTEGRA", "10|SINTEGRA|0001|20000101|21001231|T1|", "50|", "90|",
                             "50|001|F1|20500601|12.5"},
                        Case{"SPED", "|0000|SPED|0001|01012000|31122100|T1||", "|C400|", "|9999|",
                             "|C400|001|F1|01062050|12.5|"},
                        Case{"DIGITAL", "H;DIGITAL;0001;2000-01-01;2100-12-31;T1;", "D;", "T;",
                             "D;001;F1;2050-06-01;12.5"}}) {
    SCOPED_TRACE(m.mode);
    const auto lines = ask(m.mode, "0001");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), m.header);
    for (size_t i = 1; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i].rfind(m.sale, 0), 0u);
    EXPECT_NE(std::find(lines.begin(), lines.end(), m.knownSale), lines.end());
    std::string trailer = m.trailer + std::to_string(lines.size());
    if (m.mode == "SPED") trailer += "|";
    EXPECT_EQ(lines.back(), trailer);
  }
  // A branch the central side does not know has no file; a mode it does not know is an error.
  EXPECT_TRUE(ask("SINTEGRA", "9999").empty());
  EXPECT_THROW(ask("ECF", "0001"), outside::ServerError);
}

TEST_F(CentralServerTest, AnticipationMethodsAnswerFromTheBranchRows) {
  auto c = client();
  auto central = db::embedded::open({.path = dbPath_});
  auto count = [&](const char* sql) {
    auto r = central->query(sql);
    return r->next() ? static_cast<size_t>(r->at(0).asInt()) : 0u;
  };

  std::vector<db::Value> args{"0001"};
  EXPECT_EQ(rows(c->call("getConfTelaCaixa", args)),
            count("SELECT COUNT(*) FROM CONFTELACAIXA WHERE CDFILICAIXA = '0001'"));

  args = {"0001", db::DateTime()};
  const size_t clienFilial = rows(c->call("getClienFilialAtual", args));
  EXPECT_EQ(clienFilial, count("SELECT COUNT(*) FROM CLIENFILIAL WHERE CDFILIAL = '0001'"));
  EXPECT_GT(clienFilial, 0u);
  args = {"0001", db::DateTime::fromParts(2100, 1, 1)};
  EXPECT_EQ(rows(c->call("getClienFilialAtual", args)), 0u);

  args = {"TABEVENDGER", "", db::DateTime(), "", "PRECO", "0001"};
  EXPECT_EQ(rows(c->call("getDtCtrlAtualTab", args)),
            count("SELECT COUNT(*) FROM CTRLATUALTAB WHERE NMTABELA = 'TABEVENDGER'"));

  // From the top of the price hierarchy: five levels, then the products and their segments.
  args = {"FILITABGER", "", int64_t{7}, db::Value(), "0001", "001", "PRECO"};
  db::Value packets = c->call("getDadosTabCtrl", args);
  ASSERT_EQ(packets.kind(), db::Value::Kind::Array);
  ASSERT_EQ(packets.getArray().size(), 8u);
  EXPECT_TRUE(packets.getArray()[0].isNull());
  for (size_t i = 1; i < 8; ++i)
    EXPECT_EQ(packets.getArray()[i].kind(), db::Value::Kind::Bytes) << "position " << i;
  EXPECT_EQ(rows(packets.getArray()[1]),
            count("SELECT COUNT(*) FROM FILITABGER WHERE CDFILIAL = '0001'"));

  args = {"FILITABGER", "", int64_t{3}, db::Value(), "0001", "001", "PRECO"};
  EXPECT_THROW(c->call("getDadosTabCtrl", args), outside::ServerError);
}

TEST_F(CentralServerTest, TabelasAtTheBaseDateBringsEveryRowOfTheBranch) {
  const Model& model = centralModel();
  auto result = tabelas(db::DateTime::fromParts(1985, 1, 1, 12));
  ASSERT_EQ(result.size(), static_cast<size_t>(Model::kPositionCount));
  int checked = 0;
  for (const Position& p : model.positions()) {
    if (p.kind != PositionKind::Table) {
      if (p.kind == PositionKind::Unused) {
        EXPECT_TRUE(result[p.index].isNull());
      }
      continue;
    }
    const Table& t = model.table(p.table);
    if (t.hasColumn("CDCLIENTE") && t.branchColumn.empty()) continue;  // scoped through clients
    std::string sql = "SELECT COUNT(*) FROM " + t.name;
    if (!t.branchColumn.empty()) sql += " WHERE " + t.branchColumn + " = '0001'";
    EXPECT_EQ(rows(result[p.index]), static_cast<size_t>(count(sql))) << p.index << " " << p.name;
    ++checked;
  }
  EXPECT_GT(checked, 100);
  EXPECT_EQ(result[198], db::Value("OK"));
}

// A table handed over to two datasets under one request date travels alike at both positions.
TEST_F(CentralServerTest, PositionsOfOneTableSendOnePacket) {
  auto result = tabelas(db::DateTime::fromParts(1985, 1, 1, 12));
  EXPECT_GT(rows(result[62]), 0u);
  EXPECT_EQ(result[62], result[117]);  // MOVICLIE
  EXPECT_GT(rows(result[42]), 0u);
  EXPECT_EQ(result[42], result[133]);  // EXTRATOCONS
}

// The shortest text of a round amount is "1e+05"; it travels as the number it is.
TEST_F(CentralServerTest, RoundAmountsTravelAsNumbers) {
  auto writer = db::embedded::open({.path = dbPath_, .create = false});
  auto keys = writer->query(
      "SELECT CDCLIENTE, NRSEQMOVCLI, VRMOVCLI FROM MOVICLIE WHERE CDFILIAL = '0001' "
      "ORDER BY CDCLIENTE, NRSEQMOVCLI");
  ASSERT_TRUE(keys->next());
  const db::Params key{{"A", keys->at(0)}, {"B", keys->at(1)}};
  const db::Value old = keys->at(2);
  keys.reset();
  const std::string update =
      "UPDATE MOVICLIE SET VRMOVCLI = :V WHERE CDCLIENTE = :A AND NRSEQMOVCLI = :B";
  auto set = [&](const db::Value& v) {
    db::Params params = key;
    params.push_back({"V", v});
    writer->execute(update, params);
  };
  set(100000.0);
  std::vector<db::Value> args{"0001", "1", "1", "MOVICLIE"};
  auto c = client();
  db::Value packet;
  EXPECT_NO_THROW(packet = c->call("getTabelaCons", args));
  set(old);
  ASSERT_EQ(packet.kind(), db::Value::Kind::Bytes);
  EXPECT_EQ(first(packet, "VRMOVCLI"), "100000");
}

TEST_F(CentralServerTest, TabelasAtTheNewestDatesBringsNothingDated) {
  const Model& model = centralModel();
  auto result = tabelas(worldBaseDate().addDays(1));
  auto slotted = [&](const std::string& table) {
    for (const auto& s : model.requestSlots())
      if (s.table == table) return true;
    return false;
  };
  for (const Position& p : model.positions()) {
    if (p.kind != PositionKind::Table && p.kind != PositionKind::DeleteCache) continue;
    const Table& t = model.table(p.table);
    const std::string base = t.deleteCacheOf ? t.deleteCacheOf->table : t.name;
    if (!slotted(base)) continue;
    if (p.kind == PositionKind::Table && central::server::travelsWhole(t.name)) continue;
    EXPECT_EQ(rows(result[p.index]), 0u) << p.index << " " << p.name;
  }
}

TEST_F(CentralServerTest, WholeConsumerBaseTravelsAsACount) {
  auto result = tabelas(db::DateTime::fromParts(1985, 1, 1, 12), "S");
  auto consumers = result[28];
  int64_t expected = count(
      "SELECT COUNT(*) FROM CONSUMIDOR WHERE CDCLIENTE IN (SELECT CDCLIENTE FROM CLIENFILIAL "
      "WHERE CDFILIAL = '0001')");
  if (expected == 0) {
    EXPECT_EQ(rows(consumers), 0u);
  } else {
    ASSERT_EQ(rows(consumers), 1u);
    EXPECT_EQ(first(consumers, "QTDCONSUMIDOR"), std::to_string(expected));
  }
}

TEST_F(CentralServerTest, StatementZipHoldsExactlyItsLineRange) {
  auto c = client();
  std::vector<db::Value> args{"0001", db::Value(db::DateTime::fromParts(1985, 1, 1, 12))};
  const int64_t total = c->call("getTotalConsDT", args).getInt();
  ASSERT_GE(total, 3);
  auto fetch = [&](int64_t first, int64_t last) {
    std::vector<db::Value> gera{
        "insertConsumidorDTULTATU.sql",
        "CONSDT_TEMP",
        "1",
        "0001",
        "",
        db::ValueArray{db::DateTime::fromParts(1985, 1, 1, 12), db::Value()},
        first,
        last};
    std::string directory = c->call("setGeraArquivo", gera).getText();
    std::vector<db::Value> acesso{directory + "insertConsumidorDTULTATU.sql"};
    std::string access = c->call("getAcessoArquivo", acesso).getText();
    auto split = access.find("\r\n");
    std::string zipPath = access.substr(split + 2);
    fs::path local = dir_ / "fetched.zip";
    outside::httpGetToFile(access.substr(0, split) + zipPath, local.string(), {});
    std::vector<db::Value> apaga{zipPath, "0001"};
    c->call("setApagaArquivo", apaga);
    EXPECT_THROW(
        outside::httpGetToFile(access.substr(0, split) + zipPath, local.string() + "2", {}),
        outside::ServerError);
    EXPECT_THROW(zipMember(local, "insertConsumidorDTULTATU.sql", nullptr), std::runtime_error);
    return lines(zipMember(local, "insertConsumidorDTULTATU.sql", "vostrel@vostrel"));
  };
  auto whole = fetch(0, 0);
  ASSERT_EQ(static_cast<int64_t>(whole.size()), total);
  EXPECT_EQ(whole[0].rfind("INSERT INTO CONSDT_TEMP (CDCLIENTE, CDCONSUMIDOR", 0), 0u) << whole[0];
  auto middle = fetch(2, 3);
  ASSERT_EQ(middle.size(), 2u);
  EXPECT_EQ(middle[0], whole[1]);
  EXPECT_EQ(middle[1], whole[2]);
  auto tail = fetch(total, total + 100000);
  ASSERT_EQ(tail.size(), 1u);
  EXPECT_EQ(tail[0], whole.back());
}

TEST_F(CentralServerTest, StructurePackageReadsBackAsLaidOut) {
  auto c = client("rdmAtualizaEstrutura");
  std::string token = c->call("StartTableData").getText();
  std::vector<db::Value> args{"CAIXA=N\r\nVENDA=S\r\nNOSUCHTABLE=N", token, "MSSQL",
                              "SA_CAIXA=N\r\nSA_VENDA=S", false};
  std::string reply = c->call("GetTableStructMSDE", args).getText();
  ASSERT_EQ(reply.find("ERRO"), std::string::npos) << reply;
  auto value = [&](const std::string& name) {
    auto at = reply.find(name + "=");
    auto end = reply.find('&', at);
    return reply.substr(at + name.size() + 1,
                        end == std::string::npos ? end : end - at - name.size() - 1);
  };
  const std::string dirName = token.size() > 22 ? token.substr(token.size() - 22) : token;
  fs::path local = dir_ / "struct.zip";
  outside::httpGetToFile("http://" + value("Address") + value("Path") + dirName + "/struct.zip",
                         local.string(), {});
  std::string cds = zipMember(local, "struct.cds", nullptr);
  EXPECT_EQ(column(cds, "TABLE_NAME"), (std::vector<std::string>{"CAIXA", "VENDA", "SA_VENDA"}));
  const Table& caixa = centralModel().table("CAIXA");
  auto names = nestedColumn(cds, 0, "adqColunas", "COL_NAME");
  ASSERT_EQ(names.size(), caixa.columns.size());
  EXPECT_EQ(names[0], caixa.columns[0].name);
  EXPECT_EQ(nestedColumn(cds, 0, "adqColunas", "FIELD_TYPE")[0], caixa.columns[0].type);
  EXPECT_EQ(nestedColumn(cds, 0, "adqColunas", "NULLABLE")[0], "NOT NULL");
  EXPECT_EQ(nestedColumn(cds, 0, "adqColunasOracle", "FIELD_TYPE")[0].substr(0, 8), "VARCHAR2");
  EXPECT_EQ(nestedColumn(cds, 2, "adqColunas", "COL_NAME"),
            nestedColumn(cds, 1, "adqColunas", "COL_NAME"));
  auto keyColumns = nestedColumn(cds, 0, "adqPriKeys", "COL_NAME");
  EXPECT_EQ(keyColumns, caixa.primaryKey->columns);
  EXPECT_EQ(nestedColumn(cds, 0, "adqPriKeys", "INDEX_NAME")[0], "PK_CAIXA");
  EXPECT_GE(nestedColumn(cds, 0, "adqIndices", "INDEX_NAME").size(), keyColumns.size());
  EXPECT_TRUE(hasField(zipMember(local, "constraints.cds", nullptr), "R_CONSTRAINT_NAME"));

  std::vector<db::Value> finish{token};
  c->call("FinishTableData", finish);
  EXPECT_THROW(
      outside::httpGetToFile("http://" + value("Address") + value("Path") + dirName + "/struct.zip",
                             local.string(), {}),
      outside::ServerError);
}

TEST_F(CentralServerTest, TabelasAfterAChangeBringsExactlyTheChange) {
  auto db = db::embedded::open({.path = dbPath_, .create = false});
  ChangeSummary change = applyChange(*db, centralModel(), 7);
  db.reset();
  ASSERT_GT(change.changedRows(), 0);
  auto result = tabelas(worldBaseDate());
  const Model& model = centralModel();
  int checkedTables = 0, checkedCaches = 0;
  for (const Position& p : model.positions()) {
    if (p.kind != PositionKind::Table && p.kind != PositionKind::DeleteCache) continue;
    const Table& t = model.table(p.table);
    if (!t.branchColumn.empty() || t.hasColumn("CDCLIENTE")) continue;  // all rows are the branch's
    bool slotted = false;  // tables without a request date travel whole every time
    for (const auto& s : model.requestSlots()) slotted = slotted || s.table == t.name;
    if (!slotted || central::server::travelsWhole(t.name)) continue;
    if (p.kind == PositionKind::Table) {
      auto it = change.tables.find(t.name);
      size_t expected =
          it == change.tables.end() ? 0 : it->second.updated.size() + it->second.inserted.size();
      EXPECT_EQ(rows(result[p.index]), expected) << p.index << " " << p.name;
      ++checkedTables;
    }
  }
  for (const Position& p : model.positions()) {
    if (p.kind != PositionKind::DeleteCache) continue;
    auto keys = column(of(result[p.index]), "DSKEYCACHE");
    std::set<std::string> got(keys.begin(), keys.end());
    auto it = change.deleteCacheRows.find(p.table);
    if (it == change.deleteCacheRows.end()) {
      EXPECT_TRUE(got.empty()) << p.name;
      continue;
    }
    for (const auto& key : got)
      EXPECT_EQ(std::count(it->second.begin(), it->second.end(), key), 1) << key;
    // Deletions from a table every branch shares reach every branch.
    const Table& deleted = model.table(model.table(p.table).deleteCacheOf->table);
    if (deleted.branchColumn.empty() && !deleted.hasColumn("CDCLIENTE")) {
      EXPECT_EQ(got.size(), it->second.size()) << p.name;
    }
    if (!got.empty()) ++checkedCaches;
  }
  EXPECT_GT(checkedTables, 5);
  EXPECT_GT(checkedCaches, 0);
}

TEST_F(CentralServerTest, BadRequestsGetErrorRepliesAndServingGoesOn) {
  auto post = [&](const std::string& path, const std::string& body) {
    return outside::httpPost(url(path), body, {});
  };
  auto isError = [](const outside::HttpResponse& r) {
    return r.status >= 400 && r.body.find("\"error\"") != std::string::npos;
  };
  EXPECT_TRUE(isError(post("/rdmExpDados/getNRORG", "{\"args\": [")));
  EXPECT_TRUE(isError(post("/rdmNada/getNRORG", "{\"args\": [\"0001\"]}")));
  EXPECT_TRUE(isError(post("/rdmExpDados/getNada", "{\"args\": []}")));
  EXPECT_TRUE(isError(post("/rdmExpDados/getNRORG", "{\"args\": []}")));
  EXPECT_TRUE(isError(post("/rdmExpDados/getNRORG", "{\"args\": [1]}")));
  EXPECT_TRUE(isError(
      post("/rdmExpDados/getTabelas",
           "{\"args\": "
           "[\"0001\",\"001\",\"01\",5,[],false,false,\"\",\"\",\"TABELAS\",null,null,null,[]]}")));
  EXPECT_TRUE(
      isError(post("/rdmExpDados/setGeraArquivo",
                   "{\"args\": [\"../../evil.sql\",\"CONS\",\"1\",\"0001\",\"\",null,0,0]}")));
  EXPECT_TRUE(isError(
      post("/rdmExpDados/setApagaArquivo", "{\"args\": [\"/files/../central.db\",\"0001\"]}")));
  EXPECT_TRUE(fs::exists(dbPath_));
  EXPECT_TRUE(isError(
      post("/rdmExpDados/getNRORG", "{\"args\": [\"" + std::string(2 << 20, 'x') + "\"]}")));
  EXPECT_TRUE(isError(
      post("/RDMEXPDADOS/getTabelaCons", "{\"args\": [\"0001\",\"x\",\"10\",\"PRODUTO\"]}")));
  // Object and method names match without regard to case, and the server still answers.
  auto c = client("RDMEXPDADOS");
  std::vector<db::Value> args{"0001"};
  EXPECT_EQ(c->call("GETNRORG", args), db::Value("1"));
}

TEST_F(CentralServerTest, TabelaConsPagesInKeyOrder) {
  auto c = client();
  std::vector<db::Value> all{"0001", "0", "1000000", "PRODUTO"};
  auto whole = column(of(c->call("getTabelaCons", all)), "CDPRODUTO");
  ASSERT_GE(whole.size(), 3u);
  std::vector<db::Value> page{"0001", "2", "3", "PRODUTO"};
  auto part = column(of(c->call("getTabelaCons", page)), "CDPRODUTO");
  EXPECT_EQ(part, (std::vector<std::string>{whole[1], whole[2]}));
}

}  // namespace
}  // namespace central::server
