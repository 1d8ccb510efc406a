// Small rdmExpDados methods: the register check, the fiscal lines, the organisation number,
// the keep-alive, the central database kind, the trigger list and the central dates that the
// register compares with its own after a load.
#include "central/model/model.h"
#include "central/server/fiscal_file.h"
#include "central/server/method_table.h"
#include "central/server/packet_builder.h"
#include "central/server/service.h"
#include "central/server/table_query.h"

namespace central::server {
namespace {

constexpr const char* kSelectRegister =
    "SELECT CDFILIAL, CDCAIXA, IPSERVPRI, IDAUTOIMPTAB FROM CAIXA "
    "WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA";
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
  return packetValue(queryPacket(call.db, fields, kSelectRegister,
                                 {{"P_CDFILIAL", call.args[0]}, {"P_CDCAIXA", call.args[1]}}));
}

MethodResult organisationNumber(Call& call) {
  return db::Value(call.service.options().organisationNumber);
}

MethodResult setKeepAlive(Call&) { return db::Value(); }

MethodResult getBanco(Call& call) { return db::Value(call.service.options().databaseKind); }

// The central side has no trigger that it failed to apply: the list is always empty.
MethodResult getTriggersNAplicadas(Call&) {
  return packetValue(rowsPacket({db::makeField("NMTRIGGER", db::FieldType::String, 128)}, {}));
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
