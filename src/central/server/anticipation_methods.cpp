// Methods behind the register's anticipated downloads: screen configurations, the price and
// layout hierarchies driven by the central update ledger, and the consumer catch-up counts.
#include <array>

#include "central/model/model.h"
#include "central/server/lazy_elements.h"
#include "central/server/method_table.h"
#include "central/server/packet_builder.h"
#include "central/server/statement_files.h"
#include "central/server/table_query.h"
#include "db/core/text.h"

namespace central::server {
namespace {

constexpr const char* kSelectLedger =
    "SELECT NMTABELA, DSCHAVE, DTULTATU FROM CTRLATUALTAB WHERE NMTABELA = :P_NMTABELA";
constexpr const char* kLedgerAfter = " AND DTULTATU > :P_DTULTATU";
constexpr const char* kLedgerKeyLike = " AND DSCHAVE LIKE :P_DSCHAVE";
constexpr const char* kLedgerKeyHolds = " AND DSCHAVE LIKE :P_DSCHAVE4";
constexpr const char* kLedgerOrder = " ORDER BY DTULTATU, DSCHAVE";
constexpr const char* kPriceTableOf = "CDTABEPREC = :P_CDTABEPREC";
constexpr size_t kPriceTableCodeLength = 3;

struct Hierarchy {
  std::string_view group;
  std::vector<std::string_view> levels;
  std::string_view productSource;  // the level whose products travel along
};

const std::array<Hierarchy, 2>& hierarchies() {
  static const std::array<Hierarchy, 2> all{{
      {"PRECO",
       {"FILITABGER", "TABEPRECGER", "TABEVENDGER", "ITEMPRECOGER", "ITEMPRECODIAGER"},
       "ITEMPRECOGER"},
      {"LEIAUTE", {"CONFTELA", "ITMENUCONFTE"}, "ITMENUCONFTE"},
  }};
  return all;
}

std::string tablePacket(db::Connection& db, const central::Table& table, const RowFilter& filter) {
  TableQuery q = selectRows(table, filter);
  return queryPacket(db, q.fields, q.sql, q.params);
}

int64_t consumerCount(Call& call, const char* kind) {
  StatementSource source = statementSource(kind, call.args[0].getText(), {call.args[1]});
  return queryCount(call.db, countRows(*source.table, source.filter));
}

MethodResult getTotalConsDT(Call& call) { return db::Value(consumerCount(call, "CONSDT_TEMP")); }
MethodResult getTotalConsCF(Call& call) {
  return db::Value(consumerCount(call, "CONSCLIENFIL_TMP"));
}

MethodResult getClienFilialAtual(Call& call) {
  const central::Table& table = central::centralModel().table("CLIENFILIAL");
  RowFilter filter = branchRows(call.args[0].getText(), requestDate(call.args[1]));
  return packetValue(tablePacket(call.db, table, filter));
}

MethodResult getConfTelaCaixa(Call& call) {
  const central::Table& table = central::centralModel().table("CONFTELACAIXA");
  return packetValue(tablePacket(call.db, table, branchRows(call.args[0].getText())));
}

// Central ledger rows of a table changed after the date; the key narrows by pattern (LIKE) and
// the fourth text, when given, must occur in the key (a branch, or branch_register).
MethodResult getDtCtrlAtualTab(Call& call) {
  const central::Table& ledger = central::centralModel().table("CTRLATUALTAB");
  std::vector<db::FieldDef> fields;
  for (const char* name : {"NMTABELA", "DSCHAVE", "DTULTATU"})
    fields.push_back(fieldFor(ledger.column(name)));
  std::string sql = kSelectLedger;
  db::Params params{{"P_NMTABELA", call.args[0]}};
  if (auto after = requestDate(call.args[2])) {
    sql += kLedgerAfter;
    params.push_back({"P_DTULTATU", *after});
  }
  if (!call.args[1].getText().empty()) {
    sql += kLedgerKeyLike;
    params.push_back({"P_DSCHAVE", call.args[1]});
  }
  if (!call.args[3].getText().empty()) {
    sql += kLedgerKeyHolds;
    params.push_back({"P_DSCHAVE4", "%" + call.args[3].getText() + "%"});
  }
  sql += kLedgerOrder;
  return packetValue(queryPacket(call.db, fields, sql, params));
}

// Position 0 unused; then each level from the asked one down, then PRODUTO and PRODUTOSEG.
MethodResult getDadosTabCtrl(Call& call) {
  const central::Model& model = central::centralModel();
  const std::string levelTable = call.args[0].getText();
  const std::string key = call.args[1].getText();
  const std::string branch = call.args[4].getText();
  const std::string group = call.args[6].getText();
  const Hierarchy* hierarchy = nullptr;
  for (const auto& h : hierarchies())
    if (db::iequals(h.group, group)) hierarchy = &h;
  if (!hierarchy) throw BadRequest("getDadosTabCtrl: unknown group \"" + group + "\"");
  size_t start = hierarchy->levels.size();
  for (size_t i = 0; i < hierarchy->levels.size(); ++i)
    if (db::iequals(hierarchy->levels[i], levelTable)) start = i;
  if (start == hierarchy->levels.size())
    throw BadRequest("getDadosTabCtrl: " + levelTable + " is no level of group " + group);
  const int64_t expected = static_cast<int64_t>(hierarchy->levels.size() - start + 2);
  if (call.args[2].getInt() != expected)
    throw BadRequest("getDadosTabCtrl: level " + levelTable + " answers " +
                     std::to_string(expected) + " packets, not " +
                     std::to_string(call.args[2].getInt()));

  RowFilter filter = branchRows(branch);
  const bool byPriceTable = db::iequals(group, "PRECO") && key.size() >= kPriceTableCodeLength;
  const std::string priceTable = byPriceTable ? key.substr(0, kPriceTableCodeLength) : "";
  auto filterFor = [&](const central::Table& table) {
    RowFilter f = filter;
    if (byPriceTable && table.hasColumn("CDTABEPREC")) {
      f.extraCondition = kPriceTableOf;
      f.extraParams = {{"P_CDTABEPREC", priceTable}};
    }
    return f;
  };

  // Read while the reply streams, on the request's connection and snapshot.
  db::Connection* centralDb = &call.db;
  std::vector<LazyElement> elements{valueElement(db::Value())};
  for (size_t i = start; i < hierarchy->levels.size(); ++i) {
    const central::Table* table = &model.table(hierarchy->levels[i]);
    RowFilter f = filterFor(*table);
    elements.push_back(
        packetElement([centralDb, table, f] { return tablePacket(*centralDb, *table, f); }));
  }
  const central::Table& source = model.table(hierarchy->productSource);
  RowFilter sourceFilter = filterFor(source);
  for (const char* productTable : {"PRODUTO", "PRODUTOSEG"}) {
    const central::Table* table = &model.table(productTable);
    RowFilter f;
    if (source.hasColumn("CDPRODUTO")) {
      TableQuery inner = countRows(source, sourceFilter);
      std::string from = inner.sql.substr(inner.sql.find(" FROM "));
      f.extraCondition = "CDPRODUTO IN (SELECT CDPRODUTO" + from + ")";
      f.extraParams = inner.params;
    } else {
      f.extraCondition = "1 = 2";
    }
    elements.push_back(
        packetElement([centralDb, table, f] { return tablePacket(*centralDb, *table, f); }));
  }
  return MethodResult::lazyArray(std::move(elements));
}

}  // namespace

void registerAnticipationMethods(MethodTable& table) {
  using A = ArgKind;
  table.add(kExportObject, {"getTotalConsDT", {A::Text, A::Date}, getTotalConsDT});
  table.add(kExportObject, {"getTotalConsCF", {A::Text, A::Date}, getTotalConsCF});
  table.add(kExportObject, {"getClienFilialAtual", {A::Text, A::Date}, getClienFilialAtual});
  table.add(kExportObject, {"getConfTelaCaixa", {A::Text}, getConfTelaCaixa});
  table.add(kExportObject, {"getDtCtrlAtualTab",
                            {A::Text, A::Text, A::Date, A::Text, A::Text, A::Text},
                            getDtCtrlAtualTab});
  table.add(kExportObject, {"getDadosTabCtrl",
                            {A::Text, A::Text, A::Int, A::Any, A::Text, A::Text, A::Text},
                            getDadosTabCtrl});
}

}  // namespace central::server
