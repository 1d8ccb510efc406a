#include "consumer_central/central_tables.h"

#include "consumer_central/central_sql.h"

namespace consumer_central {

namespace {

// A consumer table the central database holds as the register does: same name, key and
// columns, its indexes too, every row copied.
CentralTable likeLocal(std::string_view name, std::string_view key, std::string_view extraKeyColumn,
                       std::string_view copySelect) {
  return {name,
          name,
          key,
          key,
          extraKeyColumn,
          {"DTULTATUEXT", "DTULTATUCSUM"},
          true,
          sql::columnsOfTable,
          sql::indexesOfTable,
          copySelect};
}

}  // namespace

const CentralTable& moviclie() {
  static const CentralTable table =
      likeLocal("MOVICLIE", "PK_MOVICLIE", "CDFILIAL", "SELECT * FROM MOVICLIE");
  return table;
}

const CentralTable& extratoCons() {
  static const CentralTable table =
      likeLocal("EXTRATOCONS", "PK_EXTRATOCONS", "", "SELECT * FROM EXTRATOCONS");
  return table;
}

const CentralTable& saldoCons() {
  static const CentralTable table =
      likeLocal("SALDOCONS", "PK_SALDOCONS", "", "SELECT * FROM SALDOCONS");
  return table;
}

const CentralTable& senhaCons() {
  static const CentralTable table{
      "SENHACONS",
      "CONSUMIDOR",
      "PK_CONSUMIDOR",
      "PK_CONSUMIDOR",
      "",
      {"DTULTATUCSUM", "DTULTATUSCON"},
      false,
      sql::columnsOfPasswords,
      sql::indexesOfPasswords,
      "SELECT CDCLIENTE,CDCONSUMIDOR,CDSENHACONS,DTULTATUCSUM, IDATUCONSUMI FROM CONSUMIDOR"};
  return table;
}

const CopyTrigger& moviclieTrigger() {
  static const CopyTrigger trigger{
      "MOVICLIE_CENTRAL",
      "MOVICLIE",
      "MOVICLIE",
      {{"CDCLIENTE", false},
       {"CDCONSUMIDOR", true},
       {"DTMOVCLI", false},
       {"IDTIPMOCVLI", false},
       {"VRMOVCLI", false},
       {"DTABERCAIX", true}},
      {"CDCLIENTE",    "NRSEQMOVCLI",  "CDCONSUMIDOR", "VRMOVCLI",     "DTMOVCLI",
       "DSHISTMOV",    "IDTIPMOCVLI",  "CDFILIAL",     "CDCAIXA",      "NRSEQVENDA",
       "DTABERCAIX",   "NRSEQUMOVI",   "CDTIPORECE",   "VRSALDOCONS",  "VRMOVPESCONS",
       "VRSALDPECONS", "CDOPERADOR",   "CDOPERECSALD", "DTATUMOVCLIE", "DSATUMOVCLIE",
       "DTMOVIMCLIE",  "DTRECMOVCLIE", "CDFILIAPFATU", "NRAPURACFATU", "VRPESUBSIDIO",
       "VRTETOSUBSID", "DTULTATUMCLI", "IDBXMOVICLIE", "IDBXVENDACAT"},
      "SELECT * FROM sys.triggers WHERE Name = 'MOVICLIE_CENTRAL'",
      "ENABLE TRIGGER MOVICLIE_CENTRAL ON MOVICLIE"};
  return trigger;
}

const CopyTrigger& extratoConsTrigger() {
  static const CopyTrigger trigger{
      "EXTCONS_CENTRAL",
      "EXTRATOCONS",
      "EXTRATOCONS",
      {{"CDCLIENTE", false},
       {"CDCONSUMIDOR", false},
       {"CDFAMILISALD", false},
       {"DTMOVEXTCONS", false},
       {"NRSEQMOVEXT", false}},
      {"CDCLIENTE",       "CDCONSUMIDOR", "CDFAMILISALD",    "DTMOVEXTCONS",  "NRSEQMOVEXT",
       "CDTIPORECE",      "CDFILIAL",     "CDCAIXA",         "NRSEQVENDA",    "DSOPEEXTCONS",
       "VRMOVEXTCONS",    "VRSALDCONEXT", "IDTPMOVEXT",      "IDIMPEXTCONS",  "NRDEPOSICONS",
       "DTULTATUEXT",     "DTABERCAIX",   "VRSUBSEXTCON",    "IDCANZERASALD", "NRSEQMOVCAIXA",
       "NRSEQREGCREDVND", "IDIMPEXTRATO", "IDMOVTRANSCXCTRL"},
      "SELECT * FROM sys.triggers WHERE Name = 'EXTCONS_CENTRAL'",
      "ENABLE TRIGGER EXTCONS_CENTRAL ON EXTRATOCONS"};
  return trigger;
}

const CopyTrigger& saldoConsTrigger() {
  static const CopyTrigger trigger{
      "SALDOCONS_CENTRAL",
      "SALDOCONS",
      "SALDOCONS",
      {{"CDCLIENTE", false}, {"CDCONSUMIDOR", false}, {"CDFAMILISALD", false}},
      {"CDCLIENTE", "CDCONSUMIDOR", "CDFAMILISALD", "VRSALDCONFAM"},
      "SELECT * FROM sys.triggers WHERE Name = 'SALDOCONS_CENTRAL'",
      "ENABLE TRIGGER SALDOCONS_CENTRAL ON SALDOCONS"};
  return trigger;
}

const CopyTrigger& senhaConsTrigger() {
  static const CopyTrigger trigger{
      "SENHACONS_CENTRAL",
      "CONSUMIDOR",
      "SENHACONS",
      {{"CDCLIENTE", false}, {"CDCONSUMIDOR", false}},
      {"CDCLIENTE", "CDCONSUMIDOR", "CDSENHACONS", "DTULTATUCSUM", "IDATUCONSUMI"},
      "SELECT * FROM sys.triggers WHERE Name = 'SENHACONS_CENTRAL'",
      "ENABLE TRIGGER SENHACONS_CENTRAL ON CONSUMIDOR"};
  return trigger;
}

}  // namespace consumer_central
