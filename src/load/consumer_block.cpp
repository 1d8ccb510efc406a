#include "load/consumer_block.h"

#include "download/component_error.h"
#include "download/ledger/control_ledger.h"
#include "download/ledger/statements.h"
#include "download/transaction.h"
#include "load/load_sql.h"
#include "outside/package/check_result.h"

namespace load {

namespace {

const MergeTable kBenefitMember = {
    "MOVBENEFICIOCTR",
    "cdsMovBeneficioCtr",
    "adqCliMovBeneficioCtr",
    {"CDCLIENTE", "CDCONSUMIDOR", "CDCAMPANHA", "NRSEQPRODCAMP", "NRSEQBENEFICIO"}};

int64_t countOf(db::Connection& conn, std::string_view sql, const db::Params& params) {
  return scalar(conn, sql, params).asInt();
}

}  // namespace

void ConsumerBlock::run() {
  AccountMovements(ctx_, nextCode_).run();
  ctx_.state.releaseSpooled();
  consumers();
  ctx_.state.releaseSpooled();
  benefits();
  ctx_.state.releaseSpooled();
  balances();
  ctx_.state.releaseSpooled();
  statement();
}

void ConsumerBlock::reconnect() {
  server_.disconnect();
  server_.connect();
}

void ConsumerBlock::fileLoad(std::string_view script, std::string_view kind, int64_t upper,
                             int64_t lower) {
  download::ServerFileRequest request;
  request.nmArquivo = script;
  request.tipoArquivo = kind;
  request.linhaFin = upper;
  request.linhaIni = lower;
  request.cdCaixa = ctx_.state.cashRegister;
  request.cdFilial = ctx_.state.branch;
  files_.baixaArquivoServidor(request);
}

void ConsumerBlock::recordLedger(std::string_view table, const db::Value& date) {
  download::inTransaction(ctx_.conn, [&] {
    download::gravaCtrlBaixaTab(ctx_.conn, ctx_.state.branch, table, "", date);
  });
}

void ConsumerBlock::consumers() {
  if (ctx_.state.vectors.vIndicadores.at(0) == "N") {
    ctx_.log("Inicio InsertCliCONSUMIDOR", "2");
    ConsumerMerge(ctx_, mirror_).run();
    ctx_.log("Fim InsertCliCONSUMIDOR", "2");
    recordLedger("CONSUMIDOR", download::consumerLoadedDate(ctx_.conn, ctx_.state.branch));
    return;
  }
  files_.consumerLoadOk() = true;
  db::DataSet* rows = ctx_.rowsOf("cdsConsumidor");
  if (rows == nullptr) {
    ctx_.log("Não existem consumidores a serem baixados.", "3");
    return;
  }
  reconnect();
  ctx_.log("Reconecta com a Qir.dll", "3");
  ctx_.log("Início da rotina de download de consumidores...", "3");
  rows->first();
  const int64_t total = rows->fieldByName("QTDCONSUMIDOR").asInteger();
  const auto logInserted = [&] {
    ctx_.log(kDashes, "3");
    ctx_.log("Consumidores inseridos -> " + std::to_string(files_.totalStatements()), "3");
    ctx_.log(kDashes, "3");
  };
  if (total <= kConsumerRange) {
    fileLoad("insertConsumidor.sql", "CONS", 0, 0);
    logInserted();
  } else {
    int64_t lower = 1;
    int64_t upper = kConsumerRange;
    while (total >= lower) {
      fileLoad("insertConsumidor.sql", "CONS", upper, lower);
      lower = upper + 1;
      upper += kConsumerRange;
      if (total < upper) upper = total;
      logInserted();
    }
  }
  if (files_.consumerLoadOk())
    recordLedger("CONSUMIDOR", download::consumerLoadedDate(ctx_.conn, ctx_.state.branch));
  else
    incomplete("Carga de consumidores incompleta; será repetida na próxima execução.");
}

// A file load that lost rows leaves its ledger alone so the next run asks again; the run must
// not report success meanwhile.
void ConsumerBlock::incomplete(std::string_view line) {
  ctx_.log(std::string(line), "3");
  ctx_.env.clearRunFlag();
}

void ConsumerBlock::InsertCliMOVBENEFICIOCTR(bool recordDate) {
  db::DataSet* rows = ctx_.rowsOf(kBenefitMember.dataset);
  if (rows == nullptr) return;
  ctx_.log("Inicio Nr. Registros Server: " + std::to_string(rows->recordCount()), "2");
  const db::Value greatest = greatestOf(*rows, "DTULTATU");
  merge_.runInBatches(kBenefitMember, kBenefitBatch);
  if (!recordDate) return;
  try {
    download::inTransaction(ctx_.conn, [&] {
      download::gravaCtrlBaixaTab(ctx_.conn, ctx_.state.branch, "MOVBENEFICIOCTR", "", greatest);
    });
  } catch (const std::exception& error) {
    throw download::ComponentError(std::string(kBenefitMember.query), error.what());
  }
}

void ConsumerBlock::benefits() {
  if (ctx_.state.vectors.vIndicadores.at(1) == "N") {
    ctx_.log("Inicio InsertCliMOVBENEFICIOCTR", "2");
    InsertCliMOVBENEFICIOCTR();
    ctx_.log("Fim InsertCliMOVBENEFICIOCTR", "2");
    return;
  }
  db::DataSet* rows = ctx_.rowsOf(kBenefitMember.dataset);
  if (rows == nullptr) return;
  ctx_.log("Inserindo MOVBENEFICIOCTR Base Vazia", "2");
  rows->first();
  const int64_t total = rows->fieldByName("QTDMOVBENEFICIOCTR").asInteger();
  const db::Params branch = {{"P_CDFILIAL", db::Value(ctx_.state.branch)}};
  int64_t count = countOf(ctx_.conn, sql::kCountBeneficioFilial, branch);
  int64_t from = 0;
  int64_t to = kBenefitPage;
  while (count < total) {
    std::vector<db::Value> args = {db::Value(ctx_.state.branch), db::Value(std::to_string(from)),
                                   db::Value(std::to_string(to)), db::Value("MOVBENEFICIOCTR")};
    const db::Value page = server_.call("getTabelaCons", args);
    outside::CheckResultServ(page, ctx_.state.dataset(kBenefitMember.dataset), "getTabelaCons");
    ctx_.log("Inicio InsertCliMOVBENEFICIOCTR", "2");
    InsertCliMOVBENEFICIOCTR(false);
    const int64_t before = count;
    count = countOf(ctx_.conn, sql::kCountBeneficioFilial, branch);
    ctx_.log("Fim InsertCliMOVBENEFICIOCTR - Inserido " + std::to_string(count) + " de " +
                 std::to_string(total),
             "2");
    // A page that adds nothing would repeat forever: the server has no more for this branch.
    if (count == before) break;
    from = count + 1;
    to += kBenefitPage;
  }
  recordLedger("MOVBENEFICIOCTR", scalar(ctx_.conn, sql::kMaxBeneficioFilial,
                                         {{"P_CDFILIAL", db::Value(ctx_.state.branch)}}));
}

// A spooled packet becomes an open dataset when read; telling so without reading it spares a
// whole balance table's decoding on every run whose local balances are already there.
bool ConsumerBlock::balancesOpen() const {
  if (const auto held = ctx_.state.datasets().find(kBalances); held != ctx_.state.datasets().end())
    return held->second.active();
  return ctx_.state.isSpooled(kBalances);
}

void ConsumerBlock::balances() {
  ctx_.log("Inicio do InsereDados(cdsSALDOCONS)", "2");
  // Balances are only ever written into an empty local table.
  if (balancesOpen() && scalar(ctx_.conn, sql::kCountSaldoCons).asInt() < 1) {
    writer_.InsereDados(kBalances, "SALDOCONS");
    if (db::DataSet* balances = ctx_.state.findDataset(kBalances)) balances->emptyDataSet();
  }
  ctx_.log("Final do InsereDados(cdsSALDOCONS)", "2");
}

void ConsumerBlock::statement() {
  files_.extractLoadOk() = true;
  if (ctx_.state.extractPresent) {
    StatementMerge merge(ctx_, writer_);
    for (std::string_view dataset : {"cdsExtratoCons", "cdsExtratoConsCred"}) {
      ctx_.log("Inicio do AplicaExtratoCons(" + std::string(dataset) + ")", "2");
      merge.AplicaExtratoCons(dataset == "cdsExtratoCons" ? "cdsEXTRATOCONS" : dataset);
      ctx_.keepAlive.mantemConexao(true);
      ctx_.log("Final do AplicaExtratoCons(" + std::string(dataset) + ")", "2");
    }
    if (download::extractControlled(ctx_.conn))
      recordLedger("EXTRATOCONS", download::extractLoadedDate(ctx_.conn));
    return;
  }
  auto paraVend = ctx_.conn.query(download::sql::kSelParavendMoviclie,
                                  {{"P_CDFILIAL", db::Value(ctx_.state.branch)}});
  const std::string online = paraVend->next() ? paraVend->at(1).asText() : "";
  paraVend.reset();
  // An on-line statement stays on the central side.
  if (online == "S") return;
  reconnect();
  ctx_.log("Reconecta com a Qir.dll", "3");
  ctx_.log("Início da rotina de download da ExtratoCons...", "3");
  fileLoad("insertExtratoCons.sql", "EXTCONS", 0, 0);
  if (files_.extractLoadOk())
    recordLedger("EXTRATOCONS", download::extractLoadedDate(ctx_.conn));
  else
    incomplete("Carga da ExtratoCons incompleta; será repetida na próxima execução.");
  ctx_.log(kDashes, "3");
  ctx_.log("Linhas da ExtratoCons inseridas -> " + std::to_string(files_.totalStatements()), "3");
  ctx_.log(kDashes, "3");
}

}  // namespace load
