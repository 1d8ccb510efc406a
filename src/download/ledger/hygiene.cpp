#include "download/ledger/hygiene.h"

#include <exception>
#include <string>

#include "db/core/text.h"
#include "download/ledger/statements.h"
#include "download/transaction.h"

namespace download {
namespace {

constexpr std::string_view kDashes = "----------------------";
constexpr std::string_view kDone = "Limpeza realizada com sucesso!";

bool hasRow(db::Connection& conn, std::string_view statement, const db::Params& params = {}) {
  auto& prepared = conn.prepare(statement);
  prepared.bind(params);
  return prepared.query()->next();
}

}  // namespace

void LedgerHygiene::checaCtrlBaixaTab(std::string_view cdCaixa, bool existeVendaPendente,
                                      bool existeExtratoPendente) {
  s_.info(kDashes);
  s_.info("Checagem de tabelas da CTRLBAIXATAB sem DTULTATU e sem controle");
  if (existeVendaPendente || existeExtratoPendente) {
    bool controlled = true;
    try {
      controlled = hasRow(conn_, sql::kSelConsumidorControlado);
    } catch (const std::exception& e) {
      s_.info("Exceção na checagem da CTRLBAIXATAB: " + std::string(e.what()));
    }
    if (!controlled) {
      s_.info("******* ATENÇÃO! ********");
      s_.info(
          "CTRLBAIXATAB SEM CONTROLE DE CONSUMIDOR. A BASE LOCAL AINDA POSSUI INFORMACOES A "
          "SEREM ENVIADAS");
      s_.info("PARA O ORACLE! (EXTRATOCONS OU VENDAS)");
      s_.info("FAVOR SUBIR AS INFORMACOES E RODAR O KIVTAB NOVAMENTE!");
      s_.info(
          "APÓS EXPORTAR AS INFORMACOES O KIVTAB IRÁ POPULAR A CTRLBAIXATAB E A TABELA DE "
          "CONSUMIDORES!!!");
      s_.info("**************************");
    }
  } else {
    guarded("CONSUMIDOR", "");
    guarded("EXTRATOCONS", "");
  }
  guarded("ITMENUCONFTE", cdCaixa);
  for (std::string_view table :
       {"MOVICLIE", "ITEMPRECO", "PRODUTO", "ROTFABRICA", "ROTFABLOCAL", "ITEMPRECODIA"})
    guarded(table, "");
  s_.info("Fim da checagem");
  s_.info(kDashes);
}

// The pass must never stop the run; a failure of one table is logged and the next one follows.
void LedgerHygiene::guarded(std::string_view nmTabela, std::string_view cdCaixa) {
  try {
    limpaCtrlBaixaTab(nmTabela, cdCaixa);
  } catch (const std::exception& e) {
    s_.info("Exceção na checagem da CTRLBAIXATAB: " + std::string(e.what()));
  }
}

void LedgerHygiene::limpaCtrlBaixaTab(std::string_view nmTabela, std::string_view cdCaixa) {
  s_.info("Tabela: " + std::string(nmTabela));
  const bool consumer = db::iequals(nmTabela, "CONSUMIDOR");
  // A consumer row is stamped rather than dropped: dropping it would empty the consumer base.
  if (consumer) {
    conn_.prepare(sql::kStampConsumidor).execute();
    s_.info("DTULTATU da CTRLBAIXATAB atualizada para a tabela Consumidor caso estiver vazio.");
  }
  if (hasRow(conn_, sql::kSelSemDtUltAtu, {{"P_NMTABELA", nmTabela}}))
    dropUncontrolledRows(nmTabela, cdCaixa);
  if (consumer || db::iequals(nmTabela, "EXTRATOCONS")) limpaTabelaSemControle(nmTabela);
}

void LedgerHygiene::dropUncontrolledRows(std::string_view nmTabela, std::string_view cdCaixa) {
  s_.info(kDashes);
  s_.info("Limpeza da tabela CTRLBAIXATAB para a tabela " + std::string(nmTabela) + ".");
  const bool perRegister = db::iequals(nmTabela, "ITMENUCONFTE");
  try {
    inTransaction(conn_, [&] {
      auto& del = conn_.prepare(perRegister ? sql::kDelSemDtUltAtuCaixa : sql::kDelSemDtUltAtu);
      del.bind("P_NMTABELA", nmTabela);
      if (perRegister) del.bind("P_CDCAIXA", cdCaixa);
      del.execute();
      s_.info(kDone);
    });
  } catch (const std::exception&) {
    // Rolled back; the rows stay and the next run tries again.
  }
}

void LedgerHygiene::limpaTabelaSemControle(std::string_view nmTabela) {
  if (!hasRow(conn_, sql::kSelSemControle, {{"P_NMTABELA", nmTabela}})) return;
  const std::string table(nmTabela);
  if (db::iequals(nmTabela, "CONSUMIDOR")) {
    if (!hasRow(conn_, sql::kSelVendaComConsumidor)) {
      emptyTable(table, sql::kDelConsumidor);
    } else {
      s_.info(kDashes);
      s_.info("Tabela " + table + " não controlada pela CTRLBAIXATAB.");
      s_.info("Existem registros relacionados. A tabela será atualizada em 90 dias.");
      s_.info(kDashes);
    }
    s_.waitOneSecond();
  } else if (db::iequals(nmTabela, "EXTRATOCONS")) {
    emptyTable(table, sql::kDelExtratoCons);
    s_.waitOneSecond();
  }
}

void LedgerHygiene::emptyTable(std::string_view nmTabela, std::string_view deleteStatement) {
  s_.info(kDashes);
  s_.info("Limpeza da tabela " + std::string(nmTabela) +
          " por não estar controlada pela CTRLBAIXATAB.");
  s_.info("A tabela será baixada em um arquivo .zip posteriormente...");
  inTransaction(conn_, [&] { conn_.execute(deleteStatement); });
  s_.info(kDone);
  s_.info(kDashes);
}

}  // namespace download
