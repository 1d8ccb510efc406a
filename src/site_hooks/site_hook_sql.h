#pragma once

#include <string_view>

// The statements of the site hooks, one T-SQL text for SQL Server and the embedded engine alike.
namespace site_hooks::sql {

// adqCatracaTrilobit: "S" a TRILOBIT turnstile, "T" a TRIELO one, anything else none.
inline constexpr std::string_view kCatracaTrilobit =
    "SELECT IDUTILTRILOBIT FROM PARAVEND WHERE CDFILIAL = :P_CDFILIAL";

// acmDropTriggerTrilobit: only the current user's trigger.
inline constexpr std::string_view kDropTriggerTrilobit =
    "IF EXISTS(SELECT * FROM SYSOBJECTS O, SYSUSERS U WHERE O.NAME = 'UTILIZA_TRILOBIT' AND "
    "TYPE = 'TR' AND U.UID = O.UID AND U.NAME = USER) DROP TRIGGER UTILIZA_TRILOBIT;";

// The turnstile table the trigger writes, read before the trigger is made: a trigger writing to
// a missing database would fail every tab opened at the register.
inline constexpr std::string_view kVerifPessoas =
    "SELECT PIN, PESHABILITADO FROM WSP.DBO.PESSOAS WHERE 1 = 0";

// acmTriggerTrilobit: opening a tab under a card blocks its holder at the turnstile, removing the
// tab releases him. Every row of the statement counts.
inline constexpr std::string_view kTriggerTrilobit =
    R"sql(CREATE TRIGGER UTILIZA_TRILOBIT ON COMANDAVEN
FOR INSERT, DELETE
AS
BEGIN
  IF NOT EXISTS (SELECT * FROM INSERTED)
    UPDATE WSP.DBO.PESSOAS SET PESHABILITADO = 1
     WHERE ISNULL(PIN, 0) IN (SELECT ISNULL(DSCOMANDA, 0) FROM DELETED)
  ELSE
    UPDATE WSP.DBO.PESSOAS SET PESHABILITADO = 0
     WHERE ISNULL(PIN, 0) IN (SELECT ISNULL(DSCOMANDA, 0) FROM INSERTED)
END)sql";

// acmDropaAcesso
inline constexpr std::string_view kDropaAcesso =
    "IF EXISTS (SELECT * FROM SYSOBJECTS WHERE NAME = 'ACESSO' AND TYPE = 'P') "
    "DROP PROCEDURE ACESSO";

// acmAcessoTricelo: the TRIELO turnstile asks with a card code; RESPOSTA 1 lets the card pass,
// 100 refuses it. The card number is the last eight characters with their byte pairs reversed.
// A tab without items is closed ('X') so that its holder may leave.
inline constexpr std::string_view kAcessoTricelo =
    R"sql(CREATE PROCEDURE ACESSO @CONTROLADORA INT, @CODIGO VARCHAR(14)
AS
BEGIN
  DECLARE @K VARCHAR(8), @CARTAO VARCHAR(8), @V_DSCOMANDA VARCHAR(30), @V_CDFILIAL VARCHAR(4)
  SET @K = RIGHT(@CODIGO, 8)
  IF SUBSTRING(@K, 1, 1) = '0'
  BEGIN
    SELECT 100 AS RESPOSTA
    RETURN
  END
  SET @CARTAO = SUBSTRING(@K, 7, 2) + SUBSTRING(@K, 5, 2) + SUBSTRING(@K, 3, 2)
              + SUBSTRING(@K, 1, 2)
  SELECT @V_DSCOMANDA = DSCOMANDAKIV FROM COMANDAKIV
   WHERE SUBSTRING(CDCARTAOMIFARE, 1, 8) = @CARTAO
  SELECT @V_CDFILIAL = CDFILIAL FROM FILIAL
  IF NOT EXISTS (SELECT * FROM PARAVEND WHERE CDFILIAL = @V_CDFILIAL AND IDUTILTRILOBIT = 'T')
  BEGIN
    SELECT 1 AS RESPOSTA
    RETURN
  END
  IF NOT EXISTS (SELECT * FROM COMANDAVEN
                  WHERE CDFILIAL = @V_CDFILIAL AND DSCOMANDA = @V_DSCOMANDA)
  BEGIN
    SELECT 1 AS RESPOSTA
    RETURN
  END
  IF NOT EXISTS (SELECT * FROM COMANDAVEN C, ITCOMANDAVEN I
                  WHERE C.CDFILIAL = @V_CDFILIAL AND C.DSCOMANDA = @V_DSCOMANDA
                    AND I.CDFILIAL = C.CDFILIAL AND I.NRVENDAREST = C.NRVENDAREST
                    AND I.NRCOMANDA = C.NRCOMANDA)
    UPDATE COMANDAVEN SET IDSTCOMANDA = 'X'
     WHERE CDFILIAL = @V_CDFILIAL AND DSCOMANDA = @V_DSCOMANDA
  IF EXISTS (SELECT * FROM COMANDAVEN
              WHERE CDFILIAL = @V_CDFILIAL AND DSCOMANDA = @V_DSCOMANDA AND IDSTCOMANDA = 'X')
    SELECT 1 AS RESPOSTA
  ELSE
    SELECT 100 AS RESPOSTA
END)sql";

// The price rounding repair, for every database kind.
inline constexpr std::string_view kArredondaPrecoDia =
    "UPDATE ITEMPRECODIA SET VRPRECODIA = ROUND(VRPRECODIA, 2) "
    "WHERE ROUND(VRPRECODIA, 2) <> VRPRECODIA";

// acmDropViewSaldoConsBIO
inline constexpr std::string_view kDropViewSaldoConsBIO =
    "IF EXISTS (SELECT * FROM SYSOBJECTS WHERE NAME = 'RETORNA_CONS_ATIVO' AND TYPE = 'V') "
    "DROP VIEW RETORNA_CONS_ATIVO";

// acmViewSaldoConsBIO: the consumers with a balance, for the turnstile integration. The balance
// adds, over the balance families, the latest statement line's balance (latest movement date,
// then highest sequence), for clients of branches with the integration switched on. A consumer
// whose client and cost centre have no minimum balance counts as without balance.
inline constexpr std::string_view kViewSaldoConsBIO =
    R"sql(CREATE VIEW RETORNA_CONS_ATIVO AS
SELECT C.NMCONSUMIDOR AS ALUNO,
       C.DTNASCCONS AS DTNASCALUNO,
       C.NMCONSUMIDOR AS APELIDO,
       C.CDIDCONSUMID AS MATRICULA,
       CASE WHEN S.VRSALDO >= M.VRSALDMIN THEN 'Ativo' ELSE 'Inativo' END AS ATIVO,
       C.IDSEXOCONS AS SEXO,
       C.CDCCUSCLIE AS CODTURMA,
       C.DSEMAILCONS AS EMAILALUNO,
       C.NRTELECONS AS TELEFONEALUNO,
       C.NRCELULARCONS AS NUMSMSAVISO,
       '' AS CODCURSO,
       CASE WHEN S.VRSALDO >= M.VRSALDMIN THEN 'SIM' ELSE 'NAO' END AS POSSUI_SALDO
  FROM CONSUMIDOR C
  JOIN (SELECT E.CDCLIENTE, E.CDCONSUMIDOR, SUM(ISNULL(E.VRSALDCONEXT, 0)) AS VRSALDO
          FROM EXTRATOCONS E
         WHERE E.DTMOVEXTCONS = (SELECT MAX(L.DTMOVEXTCONS) FROM EXTRATOCONS L
                                  WHERE L.CDCLIENTE = E.CDCLIENTE
                                    AND L.CDCONSUMIDOR = E.CDCONSUMIDOR
                                    AND L.CDFAMILISALD = E.CDFAMILISALD)
           AND E.NRSEQMOVEXT = (SELECT MAX(Q.NRSEQMOVEXT) FROM EXTRATOCONS Q
                                 WHERE Q.CDCLIENTE = E.CDCLIENTE
                                   AND Q.CDCONSUMIDOR = E.CDCONSUMIDOR
                                   AND Q.CDFAMILISALD = E.CDFAMILISALD
                                   AND Q.DTMOVEXTCONS = E.DTMOVEXTCONS)
           AND E.CDCLIENTE IN (SELECT F.CDCLIENTE FROM CLIENFILIAL F, PARAVEND P
                                WHERE P.CDFILIAL = F.CDFILIAL AND P.IDUTINTCATBIO = 'S')
         GROUP BY E.CDCLIENTE, E.CDCONSUMIDOR) S
    ON S.CDCLIENTE = C.CDCLIENTE AND S.CDCONSUMIDOR = C.CDCONSUMIDOR
  LEFT JOIN SALDMINCLICCUS M
    ON M.CDCLIENTE = C.CDCLIENTE AND M.CDCCUSCLIE = C.CDCCUSCLIE)sql";

}  // namespace site_hooks::sql
