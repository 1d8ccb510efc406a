#pragma once

#include <string_view>

#include "app/run_steps.h"
#include "db/core/value.h"

namespace app {

// Statements of dtmFuncoesServidor on the local database.
namespace fiscal_sql {
inline constexpr std::string_view kCheckTabela =
    "SELECT TABLE_SCHEMA, TABLE_NAME FROM information_schema.tables WHERE table_name = "
    "'ARQSSINTEGRA'";
inline constexpr std::string_view kCriaARQSSINTEGRA =
    "CREATE TABLE ARQSSINTEGRA (CDFILIAL VARCHAR(4) NOT NULL, CDCAIXA VARCHAR(3) NULL, CDLOJA "
    "VARCHAR(10) NULL, NRSEQSINTEGRA VARCHAR(10) NULL, DSARQSINTEGRA VARCHAR(4000))";
inline constexpr std::string_view kDeletaRegistro = "DELETE FROM ARQSSINTEGRA";
inline constexpr std::string_view kInsereRegistro =
    "INSERT INTO ARQSSINTEGRA (NRSEQSINTEGRA, CDFILIAL, CDCAIXA, CDLOJA, DSARQSINTEGRA) VALUES "
    "(:P_NRSEQSINTEGRA, :P_CDFILIAL, :P_CDCAIXA, :P_CDLOJA, :P_DSARQSINTEGRA)";
}  // namespace fiscal_sql

// A date in the register's format: dd/mm/yyyy, optionally followed by hh:nn or hh:nn:ss.
// Raises std::invalid_argument quoting the text otherwise.
db::DateTime registerDateTime(std::string_view text);

// getSintegra: the fiscal file lines of one branch and period, asked of the central server and
// stored in order in ARQSSINTEGRA (created when missing), replacing whatever it held. Failures
// are logged "Exception :" + text and clear the run-success flag; the table is emptied only once
// the server has answered.
class FiscalRetrieval : public FiscalSteps {
 public:
  void getSintegra(RunContext& run) override;
};

}  // namespace app
