#pragma once

#include <string_view>

#include "db/core/connection.h"
#include "download/services.h"

namespace download {

// The pass over CTRLBAIXATAB before a download: rows that lost their birth date (DTULTATU NULL)
// are dropped so their tables are asked for again, and the consumer and extract tables are
// emptied when nothing controls them. Never stops the run.
class LedgerHygiene {
 public:
  LedgerHygiene(db::Connection& conn, const Services& services) : conn_(conn), s_(services) {}

  void checaCtrlBaixaTab(std::string_view cdCaixa, bool existeVendaPendente,
                         bool existeExtratoPendente);
  void limpaCtrlBaixaTab(std::string_view nmTabela, std::string_view cdCaixa);
  void limpaTabelaSemControle(std::string_view nmTabela);

 private:
  void dropUncontrolledRows(std::string_view nmTabela, std::string_view cdCaixa);
  void emptyTable(std::string_view nmTabela, std::string_view deleteStatement);
  void guarded(std::string_view nmTabela, std::string_view cdCaixa);

  db::Connection& conn_;
  const Services& s_;
};

}  // namespace download
