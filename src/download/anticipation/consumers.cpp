#include <cctype>
#include <exception>
#include <string>
#include <vector>

#include "download/anticipation/anticipation.h"
#include "download/anticipation/consumer_columns.h"
#include "download/anticipation/rows.h"
#include "download/anticipation/statements.h"
#include "download/anticipation/text.h"
#include "download/ledger/control_ledger.h"
#include "download/ledger/date_columns.h"
#include "download/query_rows.h"
#include "download/statement_files/line_ranges.h"
#include "outside/package/check_result.h"

namespace download {
namespace {

constexpr std::string_view kConsDtTemp = "CONSDT_TEMP";
constexpr std::string_view kConsClienFilTemp = "CONSCLIENFIL_TMP";
// Request-date slots of CONSUMIDOR and CLIENFILIAL.
constexpr size_t kConsumidorSlot = 4;
constexpr size_t kClienFilialSlot = 8;

int64_t consumerCount(outside::AppServer& server, std::string_view method,
                      const std::string& branch, const db::Value& since) {
  std::vector<db::Value> args{db::Value(branch), since};
  const db::Value result = server.call(method, args);
  if (result.kind() == db::Value::Kind::Text && !result.getText().empty() &&
      !std::isdigit(static_cast<unsigned char>(result.getText()[0])))
    throw outside::ServerError(std::string(method) + ": " + result.getText());
  return result.asInt();
}

// Both request vectors take the newest date read back; a table left empty keeps its slot.
void moveRequestDate(RequestVectors& vectors, size_t slot, const db::Value& date) {
  if (date.isNull()) return;
  vectors.vDatasControle[slot] = date.asDateTime();
  vectors.vDatasBase[slot] = date.asDateTime();
}

}  // namespace

void Anticipation::catchUpConsumers(
    const std::string& branch, size_t slot, std::string_view countMethod, std::string_view by,
    const std::function<void(int64_t total, const db::Value& since)>& work) {
  const db::Value since = state_.vectors.vDatasBase[slot];
  try {
    const int64_t total = consumerCount(server_, countMethod, branch, since);
    if (total <= kConsumerThreshold) return;
    s_.log(kDashes, "3");
    s_.log("Antecipando a baixa de consumidores (" + std::string(by) +
               ")... Total: " + std::to_string(total),
           "2");
    work(total, since);
    s_.log(kDashes, "3");
    if (local_.inTransaction()) local_.commit();
  } catch (const std::exception&) {
    // Quiet by design: the request dates stay where they were, so the main request brings
    // these consumers itself.
    rollbackQuietly();
  }
}

void Anticipation::catchUpConsumersByChangeDate(const std::string& branch) {
  catchUpConsumers(branch, kConsumidorSlot, "getTotalConsDT", "DTULTATU",
                   [&](int64_t total, const db::Value& since) {
                     fetchConsumerFile(kConsDtTemp, kConsDtTemp, total,
                                       db::ValueArray{since, db::Value()}, branch);
                     const db::Value date = consumerLoadedDate(local_, branch);
                     if (!date.isNull()) gravaCtrlBaixaTab(local_, branch, "CONSUMIDOR", "", date);
                     moveRequestDate(state_.vectors, kConsumidorSlot, date);
                     recreateTempTable(kConsDtTemp);
                   });
}

void Anticipation::catchUpConsumersByClienFilial(const std::string& branch) {
  catchUpConsumers(branch, kClienFilialSlot, "getTotalConsCF", "CLIENFILIAL",
                   [&](int64_t total, const db::Value& since) {
                     fetchConsumerFile(kConsClienFilTemp, kConsClienFilTemp, total,
                                       db::ValueArray{since, db::Value(), db::Value()}, branch);

                     s_.log("Início da Importação da Tabela: CLIENFILIAL (Antecipado)", "2");
                     std::vector<db::Value> args{db::Value(branch), since};
                     db::DataSet& clienFilial = state_.dataset("cdsClienFilial");
                     outside::CheckResultServ(server_.call("getClienFilialAtual", args),
                                              clienFilial, "getClienFilialAtual");
                     s_.log(
                         "Fim da Importação da Tabela: CLIENFILIAL (Antecipado) - Nr.Registros: " +
                             std::to_string(clienFilial.recordCount()),
                         "2");
                     s_.log("Atualizando a tabela CLIENFILIAL (Antecipado)", "2");
                     merges_.mergeTable("CLIENFILIAL", {});
                     s_.log("CLIENFILIAL atualizada!", "2");

                     moveRequestDate(state_.vectors, kClienFilialSlot,
                                     DateColumns(local_).columnMax("CLIENFILIAL", "DTULTATUCLIF"));
                   });
}

void Anticipation::fetchConsumerFile(std::string_view kind, std::string_view tempTable,
                                     int64_t total, const db::Value& valores,
                                     const std::string& branch) {
  ServerFileRequest request;
  request.nmArquivo = std::string(fileKindOf(kind).fileName);
  request.tipoArquivo = std::string(kind);
  request.valores = valores;
  request.cdFilial = branch;
  // lineRanges gives one whole-file request (0, 0) up to 100000 rows.
  for (const LineRange& range : lineRanges(total)) {
    recreateTempTable(tempTable);
    request.linhaIni = range.linhaIni;
    request.linhaFin = range.linhaFin;
    files_.baixaArquivoServidor(request);
  }
  if (tempTable == kConsClienFilTemp) recreateTempTable(tempTable);
}

void Anticipation::recreateTempTable(std::string_view table) {
  for (const std::string& statement :
       {std::string(anticipation_sql::kDropTablePrefix) + std::string(table),
        fillStatement(anticipation_sql::kCreateConsTemp,
                      {{"COLUMNS", consumerTempColumns()}, {"TABLE", table}})}) {
    try {
      local_.execute(statement);
    } catch (const std::exception&) {
      // The first drop finds no table, and a create that fails leaves the table of the last
      // run, emptied by the drop or not; the inserts that follow report any real problem.
    }
  }
}

void Anticipation::insertNewConsumers(std::string_view tempTable, std::string_view component,
                                      int64_t fileStatements) {
  try {
    local_.execute(fillStatement(anticipation_sql::kInsertNewConsumers,
                                 {{"COLUMNS", consumerTempColumns()}, {"TABLE", tempTable}}));
  } catch (const std::exception& e) {
    s_.log("Exception - " + std::string(component) + ": " + e.what(), "2");
  }
  s_.log("Consumidores inseridos. Total: " + std::to_string(fileStatements), "2");
}

void Anticipation::afterConsDt(int64_t fileStatements) {
  s_.log("Verificação de consumidores pendentes de atualização (não inserção)...", "2");
  db::DataSet& pending = state_.dataset("cdsConsPendentesAtu");
  {
    auto rows = local_.query(anticipation_sql::kSelPendingUpdate);
    s_.log("Fim da verificação de consumidores pendentes de atualização...", "2");
    copyRowsInto(*rows, pending);
  }
  s_.log("Inserindo os consumidores baixados antecipadamente...", "2");
  insertNewConsumers(kConsDtTemp, "acmInsereConsPendDT", fileStatements);
  recreateTempTable(kConsDtTemp);

  // The consumers that already existed are updated by the consumer merge.
  db::DataSet& consumers = state_.dataset("cdsConsumidor");
  consumers.close();
  consumers.createDataSet(pending.fieldDefs());
  std::vector<db::Value> values(pending.fieldCount());
  for (pending.first(); !pending.eof(); pending.next()) {
    for (size_t i = 0; i < values.size(); ++i) values[i] = pending.field(i).value();
    consumers.appendRecord(values);
  }
  merges_.mergeTable("CONSUMIDOR", {});
  if (consumers.active()) consumers.emptyDataSet();
}

void Anticipation::afterConsClienFil(int64_t fileStatements) {
  s_.log("Inserindo os consumidores...", "2");
  insertNewConsumers(kConsClienFilTemp, "acmInsereConsPendCF", fileStatements);
  recreateTempTable(kConsClienFilTemp);
}

}  // namespace download
