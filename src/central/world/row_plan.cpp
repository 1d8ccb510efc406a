#include "central/world/row_plan.h"

#include "central/world/domains.h"
#include "central/world/world.h"

namespace central::world {
namespace {

struct Scaled {
  const char* table;
  int64_t fixedRows;
  int64_t rowsPerScale;
};

// The tables that grow with the scale; together about 3,800 rows per unit of scale.
constexpr Scaled kScaled[] = {
    {"PRODUTO", 0, 100},        {"CDBARRAPROD", 0, 100},    {"PRODLOJA", 0, 200},
    {"ALIQIMPFIS", 0, 200},     {"ITEMPRECO", 0, 600},      {"ITEMPRECODIA", 0, 100},
    {"PRODUTOSEG", 0, 100},     {"PRODOCORRE", 0, 50},      {"CLIENTE", 0, 10},
    {"CLIENFILIAL", 0, 20},     {"TIPOCONSCLI", 0, 10},     {"CONSUMIDOR", 0, 300},
    {"CONSUMIFILIAL", 0, 300},  {"SALDOCONS", 0, 300},      {"EXTRATOCONS", 0, 600},
    {"MOVICLIE", 0, 300},       {"ITMENUCONFTE", 0, 100},   {"ITEMPRECOGER", 0, 200},
    {"ITEMPRECODIAGER", 0, 50}, {"MOVBENEFICIOCTR", 0, 50}, {"ENDECONS", 0, 50},
    {"FAMSALDOPROD", 0, 50},
};

constexpr int64_t kDefaultRows = 6;

db::DateTime daysBack(int days) { return worldBaseDate().addDays(-days); }

std::vector<FixedValues> registers() {
  return {
      {{"CDFILIAL", "0001"},
       {"CDCAIXA", "001"},
       {"CDLOJA", "0001"},
       {"IDAUTOIMPTAB", "S"},
       {"IPSERVPRI", ""},
       {"DSCAIXATAB", "001,002"}},
      {{"CDFILIAL", "0001"},
       {"CDCAIXA", "002"},
       {"CDLOJA", "0001"},
       {"IDAUTOIMPTAB", "S"},
       {"IPSERVPRI", "127.0.0.1"},
       {"DSCAIXATAB", "001,002"}},
      {{"CDFILIAL", "0001"},
       {"CDCAIXA", "009"},
       {"CDLOJA", "0002"},
       {"IDAUTOIMPTAB", "N"},
       {"IPSERVPRI", ""},
       {"DSCAIXATAB", "009"}},
      {{"CDFILIAL", "0002"},
       {"CDCAIXA", "001"},
       {"CDLOJA", "0001"},
       {"IDAUTOIMPTAB", "S"},
       {"IPSERVPRI", ""},
       {"DSCAIXATAB", "001"}},
  };
}

std::vector<FixedValues> branches() {
  return {{{"CDFILIAL", "0001"}, {"NMFILIAL", "FILIAL CENTRO"}, {"CDSEGMER", "0001"}},
          {{"CDFILIAL", "0002"}, {"NMFILIAL", "FILIAL NORTE"}, {"CDSEGMER", db::Value()}}};
}

// Every optional feature off: `kivtab-central set` switches them per branch.
std::vector<FixedValues> saleParameters() {
  std::vector<FixedValues> rows;
  for (const char* branch : kBranches) {
    rows.push_back({{"CDFILIAL", branch},
                    {"CDPARAVEND", "1"},
                    {"IDDEBCONSCENTRAL", "N"},
                    {"IDEXTCONSCENTRAL", "N"},
                    {"IDSENCONSCENTRAL", "N"},
                    {"IDUTILTRILOBIT", "N"},
                    {"IDUTINTCATBIO", "N"},
                    {"NMSQLNAMEDB", ""},
                    {"NMSQLSCHEMADB", ""},
                    {"NRDIASVERMOVCLI", int64_t{30}},
                    {"IDEXTCONSONLINE", "N"}});
  }
  return rows;
}

std::vector<FixedValues> screenAssignments() {
  const db::Value start = daysBack(90);
  return {
      {{"CDFILIAL", "0001"},
       {"NRCONFTELA", "0001"},
       {"DTINIVIGENCIA", start},
       {"CDFILICAIXA", "0001"},
       {"CDCAIXA", "001"}},
      {{"CDFILIAL", "0001"},
       {"NRCONFTELA", "0001"},
       {"DTINIVIGENCIA", start},
       {"CDFILICAIXA", "0001"},
       {"CDCAIXA", "002"}},
      {{"CDFILIAL", "0001"},
       {"NRCONFTELA", "0002"},
       {"DTINIVIGENCIA", start},
       {"CDFILICAIXA", "0001"},
       {"CDCAIXA", "009"}},
      {{"CDFILIAL", "0002"},
       {"NRCONFTELA", "0003"},
       {"DTINIVIGENCIA", start},
       {"CDFILICAIXA", "0002"},
       {"CDCAIXA", "001"}},
  };
}

// The central update ledger of the two anticipated hierarchies; the keys of the general price
// tables start with the price-table code, those of FILITABGER end with the branch.
std::vector<FixedValues> updateLedger() {
  std::vector<FixedValues> rows;
  const char* priceTables[] = {"TABEPRECGER", "TABEVENDGER", "ITEMPRECOGER", "ITEMPRECODIAGER"};
  for (const char* branch : kBranches) {
    rows.push_back({{"NMTABELA", "FILITABGER"},
                    {"DSCHAVE", std::string("001") + branch},
                    {"DTULTATU", daysBack(3)}});
  }
  for (const char* table : priceTables) {
    rows.push_back({{"NMTABELA", table}, {"DSCHAVE", "001"}, {"DTULTATU", daysBack(3)}});
  }
  rows.push_back({{"NMTABELA", "CONFTELA"}, {"DSCHAVE", "0001_001"}, {"DTULTATU", daysBack(2)}});
  rows.push_back(
      {{"NMTABELA", "ITMENUCONFTE"}, {"DSCHAVE", "0001_001"}, {"DTULTATU", daysBack(2)}});
  return rows;
}

}  // namespace

TablePlan planFor(std::string_view table) {
  for (const Scaled& s : kScaled) {
    if (table == s.table) return {s.fixedRows, s.rowsPerScale, {}};
  }
  auto fixed = [](std::vector<FixedValues> rows) {
    return TablePlan{static_cast<int64_t>(rows.size()), 0, std::move(rows)};
  };
  if (table == "CAIXA") return fixed(registers());
  if (table == "FILIAL") return fixed(branches());
  if (table == "PARAVEND") return fixed(saleParameters());
  if (table == "PARAMGERAL" || table == "GERPARAMGERAL") {
    return fixed({{{"CDPARGERAL", "1"}, {"IDATUPRODATIVFI", "N"}}});
  }
  if (table == "CONFTELACAIXA") return fixed(screenAssignments());
  if (table == "CTRLATUALTAB") return fixed(updateLedger());
  // Local bookkeeping of the register: the central side keeps none.
  if (table == "CTRLBAIXATAB" || table == "CTRLEXECREM" || table == "ARQSSINTEGRA") return {};
  return {kDefaultRows, 0, {}};
}

}  // namespace central::world
