#include "app/fiscal_retrieval.h"

#include <stdexcept>

#include "db/dataset/dataset.h"
#include "outside/package/check_result.h"

namespace app {
namespace {

constexpr size_t kDayMonthYearLength = 10;

void ensureTable(db::Connection& local) {
  std::string tableName;
  {
    auto rows = local.query(fiscal_sql::kCheckTabela);
    if (rows->next()) tableName = (*rows)["TABLE_NAME"].asText();
  }
  if (tableName.empty()) local.execute(fiscal_sql::kCriaARQSSINTEGRA);
}

void retrieve(RunContext& run) {
  FuncoesServidorModule& module = run.connections.dtmFuncoesServidor();
  if (!module.adcFuncoes) throw std::runtime_error("the local connection adcFuncoes is not open");
  db::Connection& local = *module.adcFuncoes;
  const auto& slot = run.slots.slot;

  ensureTable(local);
  run.log.GravaLog(
      slot[0] + " " + slot[1] + " " + slot[2] + " " + slot[3] + " " + slot[4] + " " + slot[5], "1");
  const db::DateTime start = registerDateTime(slot[2]);
  const db::DateTime end = registerDateTime(slot[3]);

  std::vector<db::Value> args{slot[0], slot[1], start, end, slot[4], slot[5]};
  db::DataSet cdsArquivo("cdsArquivo");
  outside::CheckResultServ(module.netConnexString->call("getSintegraQir", args), cdsArquivo,
                           "getSintegraQir");

  local.execute(fiscal_sql::kDeletaRegistro);
  db::Statement& insert = local.prepare(fiscal_sql::kInsereRegistro);
  db::Field order = cdsArquivo.fieldByName("NRORDREGARQ");
  db::Field text = cdsArquivo.fieldByName("DSREGARQMAG");
  insert.bind("P_CDFILIAL", slot[6]);
  insert.bind("P_CDCAIXA", slot[7]);
  insert.bind("P_CDLOJA", slot[8]);
  for (cdsArquivo.first(); !cdsArquivo.eof(); cdsArquivo.next()) {
    insert.bind("P_NRSEQSINTEGRA", order.asString());
    insert.bind("P_DSARQSINTEGRA", text.asString());
    insert.execute();
  }
}

}  // namespace

db::DateTime registerDateTime(std::string_view text) {
  const bool dayMonthYear =
      text.size() >= kDayMonthYearLength && text[2] == '/' && text[5] == '/' &&
      (text.size() == kDayMonthYearLength || text[kDayMonthYearLength] == ' ');
  if (dayMonthYear)
    if (auto parsed = db::DateTime::parse(text)) return *parsed;
  throw std::invalid_argument("'" + std::string(text) +
                              "' is not a date in the form dd/mm/yyyy [hh:nn[:ss]]");
}

void FiscalRetrieval::getSintegra(RunContext& run) {
  try {
    retrieve(run);
  } catch (const std::exception& e) {
    run.log.GravaLog(std::string("Exception :") + e.what(), "1");
    run.flag.clear();
  }
}

}  // namespace app
