#pragma once

#include <string_view>

// The statements of the download control ledger (CTRLBAIXATAB) and of the local mirror of the
// central update ledger (CTRLATUALTAB). Values always travel as parameters; only table and
// column names from the program's own fixed lists are ever spliced into a text.
namespace download::sql {

inline constexpr std::string_view kSelCtrlBaixaTab =
    "SELECT  * FROM  CTRLBAIXATAB WHERE CDFILIAL = :P_CDFILIAL AND NMTABELA = :P_NMTABELA AND "
    "((CDCAIXA = :P_CDCAIXA AND NMTABELA = 'ITMENUCONFTE') OR (NMTABELA <> 'ITMENUCONFTE'))";
inline constexpr std::string_view kInsCtrlBaixaTab =
    "INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA, DTULTATUTAB, DTULTATU, CDCAIXA) VALUES  "
    "(:P_CDFILIAL, :P_NMTABELA, :P_DTULTATUTAB, GETDATE(), :P_CDCAIXA)";
inline constexpr std::string_view kUpdCtrlBaixaTab =
    "UPDATE CTRLBAIXATAB SET DTULTATUTAB = :P_DTULTATUTAB WHERE CDFILIAL = :P_CDFILIAL AND "
    "NMTABELA = :P_NMTABELA AND ((CDCAIXA = :P_CDCAIXA AND NMTABELA = 'ITMENUCONFTE') OR "
    "(NMTABELA <> 'ITMENUCONFTE'))";

inline constexpr std::string_view kSelCtrlExtratoCons =
    "SELECT 1 FROM CTRLBAIXATAB C WHERE NMTABELA = 'EXTRATOCONS'";

// Request-date reading: prefix + quoted table name + guard (or only the grouping).
inline constexpr std::string_view kReqDatePrefix =
    "SELECT COUNT(*) AS CONT, DTULTATUTAB AS DTULTATU FROM CTRLBAIXATAB WHERE CDFILIAL = "
    ":P_CDFILIAL AND NMTABELA = ";
inline constexpr std::string_view kReqDateMinusFivePrefix =
    "SELECT COUNT(*) AS CONT, DTULTATUTAB-5 AS DTULTATU FROM CTRLBAIXATAB WHERE CDFILIAL = "
    ":P_CDFILIAL AND NMTABELA = ";
inline constexpr std::string_view kReqDateGroup = " GROUP BY DTULTATUTAB";

inline constexpr std::string_view kSelCaixaTab =
    "SELECT DSCAIXATAB FROM CAIXA WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA";
inline constexpr std::string_view kReqDateMenu =
    "SELECT CONT, MIN(DTULTATU) AS DTULTATU FROM (SELECT COUNT(*) AS CONT, DTULTATUTAB AS "
    "DTULTATU FROM CTRLBAIXATAB WHERE CDFILIAL = :P_CDFILIAL AND NMTABELA = 'ITMENUCONFTE' AND "
    "CDCAIXA = :P_CDCAIXA AND EXISTS (SELECT 1 FROM ITMENUCONFTE) GROUP BY DTULTATUTAB UNION "
    "SELECT COUNT(*) AS CONT, B.DTULTATU FROM (SELECT MIN(DTULTATU) AS DTULTATU FROM (SELECT "
    "MAX(IT.DTULTATUITCT) AS DTULTATU, IT.NRCONFTELA FROM ITMENUCONFTE IT WHERE IT.NRCONFTELA IN "
    "(SELECT C.NRCONFTELA FROM CONFTELACAIXA C WHERE CHARINDEX(CDCAIXA,:P_CDCAIXAASSOC) > 0) "
    "GROUP BY IT.NRCONFTELA) A ) B GROUP BY B.DTULTATU) FINAL GROUP BY CONT";
inline constexpr std::string_view kSelParavendMoviclie =
    "SELECT NRDIASVERMOVCLI, IDEXTCONSONLINE FROM PARAVEND WHERE (CDFILIAL = :P_CDFILIAL)";
inline constexpr std::string_view kSelVendaComConsumidor =
    "SELECT TOP 1 CDCONSUMIDOR FROM VENDAREST WHERE CDCONSUMIDOR IS NOT NULL";

// Hygiene pass.
inline constexpr std::string_view kSelConsumidorControlado =
    "SELECT 1 FROM CTRLBAIXATAB WHERE NMTABELA = 'CONSUMIDOR'";
inline constexpr std::string_view kStampConsumidor =
    "UPDATE CTRLBAIXATAB SET DTULTATU = GETDATE() WHERE NMTABELA = 'CONSUMIDOR' AND DTULTATU IS "
    "NULL";
inline constexpr std::string_view kSelSemDtUltAtu =
    "SELECT 1 FROM CTRLBAIXATAB WHERE DTULTATU IS NULL AND NMTABELA = :P_NMTABELA";
inline constexpr std::string_view kDelSemDtUltAtu =
    "DELETE FROM CTRLBAIXATAB WHERE DTULTATU IS NULL AND NMTABELA = :P_NMTABELA";
inline constexpr std::string_view kDelSemDtUltAtuCaixa =
    "DELETE FROM CTRLBAIXATAB WHERE DTULTATU IS NULL AND NMTABELA = :P_NMTABELA AND CDCAIXA = "
    ":P_CDCAIXA";
inline constexpr std::string_view kSelSemControle =
    "SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM CTRLBAIXATAB WHERE NMTABELA = :P_NMTABELA)";
inline constexpr std::string_view kDelConsumidor = "DELETE FROM CONSUMIDOR";
inline constexpr std::string_view kDelExtratoCons = "DELETE FROM EXTRATOCONS";

// Dates recorded after file loads.
inline constexpr std::string_view kMaxDtConsumidor =
    "SELECT MAX(DTULTATUCSUM) DTULTATUCSUM FROM CONSUMIDOR CO, CLIENFILIAL CL WHERE CO.CDCLIENTE "
    "= CL.CDCLIENTE AND CL.CDFILIAL = :P_CDFILIAL";
inline constexpr std::string_view kMaxDtExtratoCons =
    "SELECT MAX(DTULTATUEXT) DTULTATUEXT FROM EXTRATOCONS";

// Date comparison after the load.
inline constexpr std::string_view kDtMsdeMenu =
    "SELECT MAX(DTULTATUTAB) DTMSDE FROM CTRLBAIXATAB WHERE NMTABELA = 'ITMENUCONFTE' AND CDCAIXA "
    "= :P_CDCAIXA";
inline constexpr std::string_view kDtMsdeItemPreco =
    "SELECT MAX(DTULTATUITPR) DTMSDE FROM ITEMPRECO";
inline constexpr std::string_view kDtMsdeItemPrecoDia =
    "SELECT MAX(DTULTATUITPD) DTMSDE FROM ITEMPRECODIA";
inline constexpr std::string_view kDtMsdeDesGruPromocPr =
    "SELECT MAX(DTULTATUDESPR) DTMSDE FROM DESGRUPROMOCPR";

// CTRLATUALTAB.
inline constexpr std::string_view kHierarchyKey = "INSERIDO PELA HIERARQUIA";
inline constexpr std::string_view kDataCtrlAtualTab =
    "SELECT MAX(DTULTATU) AS DTULTATU FROM CTRLATUALTAB WHERE NMTABELA = :P_NMTABELA AND "
    "((DSCHAVE LIKE :P_DSCHAVE) OR (DSCHAVE = 'INSERIDO PELA HIERARQUIA') OR (:P_DSCHAVE IS "
    "NULL))";
inline constexpr std::string_view kSelCtrlAtualTab =
    "SELECT * FROM CTRLATUALTAB WHERE NMTABELA = :P_NMTABELA AND DSCHAVE = :P_DSCHAVE";
inline constexpr std::string_view kExistingTablesTemplate =
    "SELECT O.NAME AS NMTABELA FROM SYSOBJECTS O, SYSUSERS U WHERE O.NAME IN (%S) AND TYPE = 'U' "
    "AND U.UID = O.UID AND U.NAME = USER";
inline constexpr std::string_view kSelHierarchyRow =
    "SELECT 1  FROM CTRLATUALTAB WHERE NMTABELA = :P_NMTABELA AND DSCHAVE = 'INSERIDO PELA "
    "HIERARQUIA'";
inline constexpr std::string_view kInsHierarchyRow =
    "INSERT INTO CTRLATUALTAB (NMTABELA, DSCHAVE, DTULTATU) VALUES (:P_NMTABELA, :P_DSCHAVE, "
    ":P_DTULTATU)";
inline constexpr std::string_view kUpdHierarchyTable =
    "UPDATE CTRLATUALTAB SET DTULTATU = :P_DTULTATU WHERE NMTABELA = :P_NMTABELA";
inline constexpr std::string_view kSelLatestPerTable =
    "SELECT NMTABELA, MAX(DTULTATU) DTULTATU FROM CTRLATUALTAB GROUP BY NMTABELA";
inline constexpr std::string_view kDelOlderThan =
    "DELETE FROM CTRLATUALTAB WHERE NMTABELA = :P_NMTABELA AND DTULTATU < :P_DTULTATU";

// Date-column helpers of the delete cache; TABELA and CAMPO are replaced by checked names.
inline constexpr std::string_view kAdvanceDateTemplate =
    "UPDATE TABELA SET CAMPO = :P_DTULTATU WHERE (SELECT MAX(CAMPO) FROM TABELA) < :P_DTULTATU";

}  // namespace download::sql
