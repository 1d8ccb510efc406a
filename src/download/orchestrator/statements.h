#pragma once

#include <string_view>

// The statements of the download orchestrator. Branch, register and row keys always travel as
// parameters; only table names from the first-load list are spliced into a text.
namespace download::orchestrator_sql {

inline constexpr std::string_view kSelCaixaLoja =
    "SELECT CDLOJA, IDUTILABERAUTO FROM CAIXA WHERE CDCAIXA = :P_CDCAIXA AND CDFILIAL = "
    ":P_CDFILIAL";

// MOVICLIE set-aside.
inline constexpr std::string_view kSelBackupMoviclie =
    "SELECT O.NAME AS NMTABELA FROM SYSOBJECTS O, SYSUSERS U WHERE O.NAME = "
    "'BACKUP_MOVICLIE_TEMP' AND TYPE = 'U' AND U.UID = O.UID AND U.NAME = USER";
inline constexpr std::string_view kSelBackupMoviclieOracle =
    "SELECT TABLE_NAME AS NMTABELA FROM USER_TABLES WHERE TABLE_NAME = 'BACKUP_MOVICLIE_TEMP'";
inline constexpr std::string_view kCopyMoviclie =
    "SELECT * INTO BACKUP_MOVICLIE_TEMP FROM MOVICLIE";
inline constexpr std::string_view kCopyMoviclieOracle =
    "CREATE TABLE BACKUP_MOVICLIE_TEMP AS SELECT * FROM MOVICLIE";
inline constexpr std::string_view kDelMoviclie = "DELETE FROM MOVICLIE";

// First load of a branch.
inline constexpr std::string_view kSelFilial =
    "SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL";
inline constexpr std::string_view kDeleteFromPrefix = "DELETE FROM ";
inline constexpr std::string_view kSelItMenuConfTe = "SELECT * FROM ITMENUCONFTE";

// preparaMSDEExtCons: extract rows and sales that will never be exported are marked as done.
inline constexpr std::string_view kSelExtConsSemVenda =
    "SELECT CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, NRSEQMOVEXT FROM EXTRATOCONS E "
    "WHERE NRSEQVENDA IS NOT NULL AND IDIMPEXTRATO = 'N' AND (NOT EXISTS (SELECT 1 FROM VENDA V "
    "WHERE V.CDFILIAL = E.CDFILIAL AND V.CDCAIXA = E.CDCAIXA AND V.NRSEQVENDA = E.NRSEQVENDA) OR "
    "DTABERCAIX = CONVERT(DATETIME,'30/12/1899',103))";
inline constexpr std::string_view kSelExtConsCredito =
    "SELECT CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, NRSEQMOVEXT FROM EXTRATOCONS E "
    "WHERE IDIMPEXTRATO = 'N' AND IDTPMOVEXT = 'C' AND DTULTATUEXT IS NOT NULL";
inline constexpr std::string_view kUpdExtConsImpExtrato =
    "UPDATE EXTRATOCONS SET IDIMPEXTRATO = 'S' WHERE CDCLIENTE = :P_CDCLIENTE AND CDCONSUMIDOR = "
    ":P_CDCONSUMIDOR AND CDFAMILISALD = :P_CDFAMILISALD AND DTMOVEXTCONS = :P_DTMOVEXTCONS AND "
    "NRSEQMOVEXT = :P_NRSEQMOVEXT";
inline constexpr std::string_view kUpdVendaSemTurCaixa =
    "UPDATE VENDA SET IDIMPVENDA = 'S' WHERE DTABERTUR = CONVERT(DATETIME,'30/12/1899',103) AND "
    "IDIMPVENDA <> 'S'";
inline constexpr std::string_view kUpdMovCaixaSemTurCaixa =
    "UPDATE MOVCAIXA SET IDIMPMOVCAIXA = 'S' WHERE DTABERCAIX = CONVERT(DATETIME,'30/12/1899',103) "
    "AND IDIMPMOVCAIXA <> 'S'";

// Pending exports and the local extract.
inline constexpr std::string_view kExisteVendaPendente =
    "SELECT 1 FROM VENDA WHERE IDIMPVENDA <> 'S'";
inline constexpr std::string_view kExisteExtratoPendente =
    "SELECT 1 FROM EXTRATOCONS WHERE IDIMPEXTRATO <> 'S'";
inline constexpr std::string_view kSelExtratoPresente = "SELECT TOP 1 CDCLIENTE FROM EXTRATOCONS";

// Request arguments 6, 7 and 8.
inline constexpr std::string_view kSelMoviclie =
    "SELECT TOP 1 CDCLIENTE, CDCONSUMIDOR FROM MOVICLIE";
inline constexpr std::string_view kSelMaxSeqExtrato =
    "SELECT MAX(NRSEQREGCREDVND) AS COUNT FROM EXTRATOCONS ";

// Request arguments 11 to 13 and the register row that decides whether the shifts are sent.
inline constexpr std::string_view kSelCaixaVendas =
    "SELECT CDFILIAL, CDCAIXA, IDFREQLIMPVENDA, NRDIASBXVNDMSDE, NRDIASVENDAMSDE FROM CAIXA WHERE "
    "CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA";
inline constexpr std::string_view kSelTurCaixa =
    "SELECT CDFILIAL,CDCAIXA,DTABERCAIX FROM TURCAIXA WHERE CDFILIAL = :P_CDFILIAL AND DTABERCAIX "
    "> (GETDATE() - :P_NRDIASBXVNDMSDE)";
inline constexpr std::string_view kSelTurCaixaFechados =
    "SELECT CDFILIAL,CDCAIXA,DTABERCAIX FROM TURCAIXA WHERE CDFILIAL = :P_CDFILIAL AND DTABERCAIX "
    "> (GETDATE() - :P_NRDIASBXVNDMSDE) AND DTFECHCAIX IS NOT NULL";
inline constexpr std::string_view kSelCaixas =
    "SELECT CDFILIAL, CDCAIXA FROM CAIXA ORDER BY CDCAIXA";

// Indicators 2, 3, 6, 7 and 8: "S" when the table is empty.
inline constexpr std::string_view kSelUsoCupomDescKiv =
    "SELECT TOP 1 CDFILIAL FROM USOCUPOMDESCKIV";
inline constexpr std::string_view kSelTotalDiaCaixa = "SELECT TOP 1 CDFILIAL FROM TOTALDIACAIXA";
inline constexpr std::string_view kSelGruPromocProd =
    "SELECT TOP 1 CDPRODPROMOCAO FROM GRUPROMOCPROD";
inline constexpr std::string_view kSelGruPromocPrFil =
    "SELECT TOP 1 CDPRODPROMOCAO FROM GRUPROMOCPRFIL";
inline constexpr std::string_view kSelHistPedCons = "SELECT TOP 1 NRVENDAREST FROM HISTPEDCONS";

}  // namespace download::orchestrator_sql
