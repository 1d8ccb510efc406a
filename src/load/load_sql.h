#pragma once

#include <string_view>

// The statements of the local load. Downloaded values always travel as parameters; only table
// and column names from the load's own fixed lists are spliced into a text.
namespace load::sql {

// The target of the bulk writer and the column list of a merge: no row, only the columns.
inline constexpr std::string_view kSelectNone = "SELECT * FROM {T} WHERE 1 = 2";
inline constexpr std::string_view kDeleteAll = "DELETE FROM {T}";
// Stops at the first row: an emptiness probe that never counts a whole table.
inline constexpr std::string_view kProbePrefix = "SELECT TOP 1 1 FROM ";

inline constexpr std::string_view kSelIdAtuProdAtivFi = "SELECT IDATUPRODATIVFI FROM PARAMGERAL";
inline constexpr std::string_view kCountMoviclie = "SELECT COUNT(*) AS NREG FROM MOVICLIE";
inline constexpr std::string_view kProdInatItComanda =
    "SELECT DISTINCT P.CDARVPROD, P.NMPRODUTO FROM ITCOMANDAVEN I, PRODUTO P WHERE I.CDPRODUTO = "
    "P.CDPRODUTO AND P.IDPRODATIVPR <> 'S' ORDER BY 1";

// Table sequence statements.
inline constexpr std::string_view kDelMesaWipe = "DELETE FROM MESA WHERE IDSTMESAAUX ='D'";
inline constexpr std::string_view kDelControlSenha =
    "DELETE FROM CONTROLSENHA WHERE IDATUCTRLSENHA <> 'I'";
inline constexpr std::string_view kDelProdutosInativos =
    "DELETE FROM PRODUTO WHERE IDPRODATIVPR <> 'S'";
inline constexpr std::string_view kDelTotalDiaCaixa =
    "DELETE FROM TOTALDIACAIXA WHERE IDIMPTOTDIACAIXA = 'S'";
inline constexpr std::string_view kAnyProdBloqVndTaa = "SELECT TOP 1 CDFILIAL FROM PRODBLOQVNDTAA";
inline constexpr std::string_view kDelPosEstatu = "DELETE FROM POSESTATU";

// Counters: the local value of one counter, then the move forward.
inline constexpr std::string_view kSelNovoCodigo =
    "SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR = :P_CDCONTADOR";
inline constexpr std::string_view kUpdNovoCodigo =
    "UPDATE NOVOCODIGO SET NRSEQUENCIAL = :P_NRSEQUENCIAL WHERE CDCONTADOR = :P_CDCONTADOR";

// Consumer, benefit and statement block.
inline constexpr std::string_view kCountBeneficioFilial =
    "SELECT COUNT(*) AS CONT  FROM MOVBENEFICIOCTR M, CAMPANHA C, FILICAMPANHA F, BENEFICIOCAMP B "
    "WHERE M.CDCAMPANHA     = C.CDCAMPANHA   AND M.CDCAMPANHA     = F.CDCAMPANHA   AND "
    "M.CDCAMPANHA     = B.CDCAMPANHA   AND M.NRSEQPRODCAMP  = B.NRSEQPRODCAMP   AND "
    "M.NRSEQBENEFICIO = B.NRSEQBENEFICIO   AND C.IDCAMPANHA     = 'C'   AND F.CDFILIAL       = "
    ":P_CDFILIAL";
inline constexpr std::string_view kMaxBeneficioFilial =
    "SELECT MAX(M.DTULTATU) AS DTULTATU  FROM MOVBENEFICIOCTR M, CAMPANHA C, FILICAMPANHA F, "
    "BENEFICIOCAMP B WHERE M.CDCAMPANHA     = C.CDCAMPANHA   AND M.CDCAMPANHA     = F.CDCAMPANHA "
    "  AND M.CDCAMPANHA     = B.CDCAMPANHA   AND M.NRSEQPRODCAMP  = B.NRSEQPRODCAMP   AND "
    "M.NRSEQBENEFICIO = B.NRSEQBENEFICIO   AND C.IDCAMPANHA     = 'C'   AND F.CDFILIAL       = "
    ":P_CDFILIAL";
inline constexpr std::string_view kCountSaldoCons =
    "SELECT COUNT(CDCLIENTE) AS NRREG FROM SALDOCONS";

// Consumers.
inline constexpr std::string_view kAnyConsumidor = "SELECT TOP 1 CDCLIENTE FROM CONSUMIDOR";
inline constexpr std::string_view kSelConsumidor =
    "SELECT IDATUCONSUMI FROM CONSUMIDOR WHERE CDCLIENTE = :P_CDCLIENTE AND CDCONSUMIDOR = "
    ":P_CDCONSUMIDOR";
inline constexpr std::string_view kSelSenhaConsMirror =
    "SELECT IDATUCONSUMI FROM SENHACONS WHERE CDCLIENTE = :P_CDCLIENTE AND CDCONSUMIDOR = "
    ":P_CDCONSUMIDOR";
inline constexpr std::string_view kUpdSenhaConsMirror =
    "UPDATE SENHACONS SET CDSENHACONS = :P_CDSENHACONS WHERE CDCLIENTE = :P_CDCLIENTE AND "
    "CDCONSUMIDOR = :P_CDCONSUMIDOR";

// Account movements.
inline constexpr std::string_view kCountMoviclieRegs =
    "SELECT COUNT(CDCLIENTE) AS NRREGISTROS FROM MOVICLIE";
// The comparison columns of one client's movements; the key's first column finds them.
inline constexpr std::string_view kSelMoviClie =
    "SELECT CDCONSUMIDOR, DTMOVCLI, IDTIPMOCVLI, VRMOVCLI, DTABERCAIX FROM MOVICLIE WHERE "
    "CDCLIENTE = :P_CDCLIENTE";
// The same columns of one movement, by its key, as the database stored them.
inline constexpr std::string_view kSelMoviClieNumero =
    "SELECT CDCONSUMIDOR, DTMOVCLI, IDTIPMOCVLI, VRMOVCLI, DTABERCAIX FROM MOVICLIE WHERE "
    "CDCLIENTE = :P_CDCLIENTE AND NRSEQMOVCLI = :P_NRSEQMOVCLI";

// Statement.
inline constexpr std::string_view kAnyExtratoCons =
    "SELECT TOP 1 CDCLIENTE, CDCONSUMIDOR FROM EXTRATOCONS";
inline constexpr std::string_view kExtratoConsKey =
    "CDCLIENTE = :K_CDCLIENTE AND CDCONSUMIDOR = :K_CDCONSUMIDOR AND CDFAMILISALD = "
    ":K_CDFAMILISALD AND DTMOVEXTCONS = :K_DTMOVEXTCONS AND NRSEQMOVEXT = :K_NRSEQMOVEXT";

// Delivery history.
inline constexpr std::string_view kValCliHistPedCons =
    "SELECT CV.CDFILIAL, CV.NRVENDAREST, CV.NRCOMANDA, VR.DTHRABERMESA FROM VENDAREST VR, "
    "COMANDAVEN CV WHERE VR.CDFILIAL = CV.CDFILIAL AND VR.CDLOJA = CV.CDLOJA AND VR.NRVENDAREST = "
    "CV.NRVENDAREST AND SUBSTRING(CV.DSCOMANDA,1,4) = 'DLV_' AND VR.CDFILIAL = :P_CDFILIAL AND "
    "VR.CDLOJA = :P_CDLOJA AND VR.NRVENDAREST = :P_NRVENDARESTAUX AND VR.DTHRABERMESA = "
    ":P_DTHRABERMESA";
inline constexpr std::string_view kInsHistPedCons =
    "INSERT INTO HISTPEDCONS (CDFILIAL,CDLOJA,NRVENDAREST,NRCOMANDA,NRSEQHISTPED,IDHISTPEDCONS,"
    "DSHISTPEDCONS,DTHRHISTPEDCONS) VALUES (:P_CDFILIAL,:P_CDLOJA,:P_NRVENDAREST,:P_NRCOMANDA,"
    ":P_NRSEQHISTPED,:P_IDHISTPEDCONS,:P_DSHISTPEDCONS,:P_DTHRHISTPEDCONS)";

// Request dates.
inline constexpr std::string_view kCountMaxPrefix = "SELECT COUNT(*) AS CONT, MAX(";
inline constexpr std::string_view kConfTelaCaixa =
    "SELECT DISTINCT CF.NRCONFTELA FROM CONFTELACAIXA CF WHERE CF.CDFILICAIXA = :P_CDFILIAL AND "
    "CF.CDCAIXA = :P_CDCAIXA AND CF.DTINIVIGENCIA <= :P_HOJE AND CF.DTINIVIGENCIA = (SELECT "
    "MAX(C2.DTINIVIGENCIA) FROM CONFTELACAIXA C2 WHERE C2.CDFILICAIXA = :P_CDFILIAL AND "
    "C2.CDCAIXA = :P_CDCAIXA AND C2.DTINIVIGENCIA <= :P_HOJE)";

}  // namespace load::sql
