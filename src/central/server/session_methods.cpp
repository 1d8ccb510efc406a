// Small rdmExpDados methods: the register check, the fiscal lines, the organisation number,
// the keep-alive, the central database kind, the trigger list and the central dates that the
// register compares with its own after a load.
#include "central/model/model.h"
#include "central/server/method_table.h"
#include "central/server/packet_builder.h"
#include "central/server/service.h"
#include "central/server/table_query.h"

namespace central::server {
namespace {

constexpr const char* kSelectRegister =
    "SELECT CDFILIAL, CDCAIXA, IPSERVPRI, IDAUTOIMPTAB FROM CAIXA "
    "WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA";
constexpr const char* kSelectSalesOfPeriod =
    "SELECT CDCAIXA, NRSEQVENDA, DTVENDA, VRTOTVENDA FROM VENDA "
    "WHERE CDFILIAL = :P_CDFILIAL AND DTVENDA >= :P_DTINICIO AND DTVENDA < :P_DTFIM "
    "ORDER BY DTVENDA, CDCAIXA, NRSEQVENDA";
constexpr const char* kMaxMenuItemDate =
    "SELECT MAX(DTULTATUITCT) AS DTMAX FROM ITMENUCONFTE WHERE CDFILIAL = :P_CDFILIAL "
    "AND NRCONFTELA IN (SELECT NRCONFTELA FROM CONFTELACAIXA "
    "WHERE CDFILICAIXA = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA)";
constexpr const char* kMaxPriceItemDate =
    "SELECT MAX(DTULTATUITPR) AS DTMAX FROM ITEMPRECO WHERE CDFILIAL = :P_CDFILIAL";
constexpr const char* kMaxDayPriceDate =
    "SELECT MAX(DTULTATUITPD) AS DTMAX FROM ITEMPRECODIA WHERE CDFILIAL = :P_CDFILIAL";
constexpr const char* kMaxPromotionDiscountDate =
    "SELECT MAX(DTULTATUDESPR) AS DTMAX FROM DESGRUPROMOCPR";

db::Value dateOrNull(const std::optional<db::DateTime>& date) {
  return date ? db::Value(*date) : db::Value();
}

MethodResult getCxServidor(Call& call) {
  const central::Table& caixa = central::centralModel().table("CAIXA");
  std::vector<db::FieldDef> fields;
  for (const char* name : {"CDFILIAL", "CDCAIXA", "IPSERVPRI", "IDAUTOIMPTAB"})
    fields.push_back(fieldFor(caixa.column(name)));
  return db::Value(queryPacket(call.db, fields, kSelectRegister,
                               {{"P_CDFILIAL", call.args[0]}, {"P_CDCAIXA", call.args[1]}}));
}

// The fiscal file of a branch and period: a header line, one line per sale of the period and a
// trailer with the line count. The mode and the two further texts only label the header.
MethodResult getSintegraQir(Call& call) {
  const std::string& mode = call.args[0].getText();
  const std::string& branch = call.args[1].getText();
  db::DateTime start = call.args[2].asDateTime().date();
  db::DateTime end = call.args[3].asDateTime().date();
  std::vector<std::vector<db::Value>> lines;
  auto add = [&lines](std::string text) {
    lines.push_back({static_cast<int64_t>(lines.size() + 1), std::move(text)});
  };
  add("10|" + mode + "|" + branch + "|" + start.format("yyyymmdd") + "|" + end.format("yyyymmdd") +
      "|" + call.args[4].getText() + "|" + call.args[5].getText());
  db::Statement& sales = call.db.prepare(kSelectSalesOfPeriod);
  sales.bind({{"P_CDFILIAL", branch}, {"P_DTINICIO", start}, {"P_DTFIM", end.addDays(1)}});
  auto rows = sales.query();
  while (rows->next()) {
    add("50|" + rows->at(0).asText() + "|" + rows->at(1).asText() + "|" +
        rows->at(2).asDateTime().format("yyyymmdd") + "|" + rows->at(3).asText());
  }
  add("90|" + std::to_string(lines.size() + 1));
  return db::Value(rowsPacket({db::makeField("NRORDREGARQ", db::FieldType::Int32, 0, true),
                               db::makeField("DSREGARQMAG", db::FieldType::String, 255)},
                              lines));
}

MethodResult organisationNumber(Call& call) {
  return db::Value(call.service.options().organisationNumber);
}

MethodResult setKeepAlive(Call&) { return db::Value(); }

MethodResult getBanco(Call& call) { return db::Value(call.service.options().databaseKind); }

// The central side has no trigger that it failed to apply: the list is always empty.
MethodResult getTriggersNAplicadas(Call&) {
  return db::Value(rowsPacket({db::makeField("NMTRIGGER", db::FieldType::String, 128)}, {}));
}

MethodResult getDtMaxITMENUCONFTE(Call& call) {
  return dateOrNull(queryMaxDate(call.db, kMaxMenuItemDate,
                                 {{"P_CDFILIAL", call.args[0]}, {"P_CDCAIXA", call.args[1]}}));
}

MethodResult getDtMaxItemPreco(Call& call) {
  return dateOrNull(queryMaxDate(call.db, kMaxPriceItemDate, {{"P_CDFILIAL", call.args[0]}}));
}

MethodResult getDtMaxItemPrecoDia(Call& call) {
  return dateOrNull(queryMaxDate(call.db, kMaxDayPriceDate, {{"P_CDFILIAL", call.args[0]}}));
}

MethodResult getDtMaxDESGRUPROMOCPR(Call& call) {
  return dateOrNull(queryMaxDate(call.db, kMaxPromotionDiscountDate, {}));
}

}  // namespace

void registerSessionMethods(MethodTable& table) {
  using A = ArgKind;
  table.add(kExportObject, {"getCxServidor", {A::Text, A::Text}, getCxServidor});
  table.add(
      kExportObject,
      {"getSintegraQir", {A::Text, A::Text, A::Date, A::Date, A::Text, A::Text}, getSintegraQir});
  table.add(kExportObject, {"getNRORG", {A::Text}, organisationNumber});
  table.add(kExportObject, {"setKeepAlive", {}, setKeepAlive});
  table.add(kExportObject, {"getBanco", {}, getBanco});
  table.add(kExportObject, {"getTriggersNAplicadas", {}, getTriggersNAplicadas});
  table.add(kExportObject, {"getDtMaxITMENUCONFTE", {A::Text, A::Text}, getDtMaxITMENUCONFTE});
  table.add(kExportObject, {"getDtMaxItemPreco", {A::Text}, getDtMaxItemPreco});
  table.add(kExportObject, {"getDtMaxItemPrecoDia", {A::Text}, getDtMaxItemPrecoDia});
  table.add(kExportObject, {"getDtMaxDESGRUPROMOCPR", {}, getDtMaxDESGRUPROMOCPR});
  table.add(kStructureObject, {"GetNRORG", {}, organisationNumber});
}

}  // namespace central::server
