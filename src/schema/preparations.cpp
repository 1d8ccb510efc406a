#include "schema/preparations.h"

#include <string>
#include <vector>

#include "schema/statements.h"

namespace schema {
namespace {

struct Statement {
  std::string_view text;
  std::string_view table;  // bound as P_NMTABELA when not empty
};

struct Preparation {
  std::vector<std::string_view> probes;
  std::vector<Statement> statements;
  std::string_view title;
};

const std::vector<Preparation>& preparations() {
  static const std::vector<Preparation> list = {
      {{sql::kDtVigencia},
       {{"DROP TABLE CONFTELA", {}},
        {"DROP TABLE ITMENUCONFTE", {}},
        {sql::kDeleteCtrlBaixaTab, "CONFTELA"},
        {sql::kDeleteCtrlBaixaTab, "ITMENUCONFTE"}},
       "PREPARANDO CONFIGURACOES ANTIGAS PARA ACEITAREM A NOVA MODELAGEM DE VIGENCIA."},
      {{"SELECT NRSEQGRPROMO FROM GRUPROMOCPROD WHERE 1 = 2",
        "SELECT NRSEQGRPROMO FROM DESGRUPROMOCPR WHERE 1 = 2",
        "SELECT NRSEQGRPROMOFIL FROM GRUPROMOCPRFIL WHERE 1 = 2",
        "SELECT NRSEQGRPROMOFIL FROM DESGRUPROMPRFIL WHERE 1 = 2"},
       {{"DROP TABLE GRUPROMOCPROD", {}},
        {"DROP TABLE DESGRUPROMOCPR", {}},
        {"DROP TABLE GRUPROMOCPRFIL", {}},
        {"DROP TABLE DESGRUPROMPRFIL", {}}},
       "PREPARANDO GRUPOS PROMOCIONAIS PARA ACEITAREM A NOVA MODELAGEM DE VIGENCIA."},
      {{"SELECT NRSEQROTFAB FROM ROTFABRICA WHERE 1 = 2",
        "SELECT NRSEQROTFABLOC FROM ROTFABLOCAL WHERE 1 = 2"},
       {{"DROP TABLE ROTFABRICA", {}}, {"DROP TABLE ROTFABLOCAL", {}}},
       "PREPARANDO COMPOSIÇÕES DE PRODUTO PARA ACEITAREM A NOVA MODELAGEM DE VIGENCIA."},
  };
  return list;
}

const std::string kRule(43, '-');

bool probesOpen(db::Connection& local, const Preparation& preparation) {
  try {
    for (std::string_view probe : preparation.probes) local.query(probe);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void run(db::Connection& local, const Preparation& preparation, const LogLine& log) {
  log(kRule, "3");
  log(preparation.title, "3");
  for (const Statement& statement : preparation.statements) {
    try {
      if (statement.table.empty())
        local.execute(statement.text);
      else
        local.execute(statement.text, {{"P_NMTABELA", std::string(statement.table)}});
    } catch (const std::exception&) {
      // The tables of the old layout may be gone already; what is left is dropped regardless.
    }
  }
  log("PREPARACAO REALIZADA COM SUCESSO.", "3");
  log(kRule, "3");
}

}  // namespace

void checkRemoteExecutionTable(db::Connection& local, bool oracle) {
  try {
    local.query(oracle ? sql::kVerifTabOracle : sql::kVerifTab);
    return;
  } catch (const std::exception&) {
    // The table cannot be read: it is missing (or unusable) and is created below.
  }
  local.execute(oracle ? sql::kCreateCtrlExecRemOracle : sql::kCreateCtrlExecRem);
}

void prepareValidityModels(db::Connection& local, const LogLine& log) {
  for (const Preparation& preparation : preparations())
    if (!probesOpen(local, preparation)) run(local, preparation, log);
}

}  // namespace schema
