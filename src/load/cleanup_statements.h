#pragma once

#include <string_view>

// The statements of the post-load cleanups. Codes read from the local tables travel as
// parameters, never inside the text.
namespace load::cleanup_sql {

inline constexpr std::string_view kDelRotFabrica =
    "DELETE FROM ROTFABRICA WHERE DTFINVGPRODROT < GETDATE()";
inline constexpr std::string_view kDelRotFabLocal =
    "DELETE FROM ROTFABLOCAL WHERE DTFINVGPRODLOC < GETDATE()";

inline constexpr std::string_view kDelDesGruPromocPr =
    "DELETE FROM DESGRUPROMOCPR WHERE EXISTS(SELECT 1 FROM GRUPROMOCPROD               WHERE "
    "CDPRODPROMOCAO = DESGRUPROMOCPR.CDPRODPROMOCAO                 AND CDGRUPROMOC    = "
    "DESGRUPROMOCPR.CDGRUPROMOC                 AND NRSEQGRPROMO   = "
    "DESGRUPROMOCPR.NRSEQGRPROMO                 AND DTFINVGGRPROMO < GETDATE())";
inline constexpr std::string_view kDelGruPromocProd =
    "DELETE FROM GRUPROMOCPROD WHERE DTFINVGGRPROMO < GETDATE()";
inline constexpr std::string_view kDelDesGruPromPrFil =
    "DELETE FROM DESGRUPROMPRFIL WHERE EXISTS(SELECT 1 FROM GRUPROMOCPRFIL               WHERE "
    "CDFILIAL        = DESGRUPROMPRFIL.CDFILIAL                 AND CDPRODPROMOCAO  = "
    "DESGRUPROMPRFIL.CDPRODPROMOCAO                 AND CDGRUPROMOC     = "
    "DESGRUPROMPRFIL.CDGRUPROMOC                 AND NRSEQGRPROMOFIL = "
    "DESGRUPROMPRFIL.NRSEQGRPROMOFIL                 AND DTFINVGGRPROFIL < GETDATE())";
inline constexpr std::string_view kDelGruPromocPrFil =
    "DELETE FROM GRUPROMOCPRFIL WHERE DTFINVGGRPROFIL < GETDATE()";

// adqOperador, acmUpdOperador
inline constexpr std::string_view kSelOperadorSemFilial =
    "SELECT O.CDOPERADOR FROM OPERADOR O WHERE (IDOPERATIVO = 'A') AND (NOT EXISTS (SELECT "
    "CDOPERADOR FROM FILIOPER WHERE CDOPERADOR = O.CDOPERADOR))";
inline constexpr std::string_view kUpdOperadorInativo =
    "UPDATE OPERADOR SET IDOPERATIVO = 'I' WHERE CDOPERADOR = :P_CDOPERADOR";

// adqProdFili and the deletes per inactive product.
inline constexpr std::string_view kSelProdFili = "SELECT CDPRODUTO FROM PRODFILI";
inline constexpr std::string_view kDelItComandaPromocao =
    "DELETE FROM ITCOMANDAVEN WHERE CDPRODPROMOCAO = :P_CDPRODUTO";
inline constexpr std::string_view kDelItComandaProduto =
    "DELETE FROM ITCOMANDAVEN WHERE CDPRODUTO = :P_CDPRODUTO";
inline constexpr std::string_view kDelProduto =
    "DELETE FROM PRODUTO WHERE CDPRODUTO = :P_CDPRODUTO";

// General price tables no FILITABGER row links to the branch, and their removal.
inline constexpr std::string_view kSelTabePrecGerSemFilial =
    "SELECT CDTABEPREC FROM TABEPRECGER  WHERE NOT EXISTS (SELECT 1  FROM FILITABGER  WHERE "
    "FILITABGER.CDFILIAL = :P_CDFILIAL   AND FILITABGER.CDTABEPREC = TABEPRECGER.CDTABEPREC)";
inline constexpr std::string_view kDelItemPrecoDiaGer =
    "DELETE FROM ITEMPRECODIAGER WHERE CDTABEPREC = :P_CDTABEPREC";
inline constexpr std::string_view kDelItemPrecoGer =
    "DELETE FROM ITEMPRECOGER WHERE CDTABEPREC = :P_CDTABEPREC";
inline constexpr std::string_view kDelTabeVendGer =
    "DELETE FROM TABEVENDGER WHERE CDTABEPREC = :P_CDTABEPREC";
inline constexpr std::string_view kDelTabePrecGer =
    "DELETE FROM TABEPRECGER WHERE CDTABEPREC = :P_CDTABEPREC";

// Screen configurations by validity.
inline constexpr std::string_view kSelConfInexistente =
    "SELECT CDFILIAL, NRCONFTELA, DTINIVIGENCIA FROM CONFTELA C WHERE NOT EXISTS (SELECT 1 FROM "
    "CONFTELACAIXA CF WHERE C.CDFILIAL = CF.CDFILIAL AND C.NRCONFTELA = CF.NRCONFTELA)";
inline constexpr std::string_view kSelConfTelaAntiga =
    "SELECT DISTINCT CF.CDFILIAL, CF.NRCONFTELA, CF.DTINIVIGENCIA FROM CONFTELACAIXA CF WHERE "
    "CF.CDFILICAIXA = :P_CDFILIAL AND CF.CDCAIXA = :P_CDCAIXA AND CF.DTINIVIGENCIA <= :P_HOJE AND "
    "CF.DTINIVIGENCIA <> (SELECT MAX(DTINIVIGENCIA) FROM CONFTELACAIXA C WHERE C.CDFILICAIXA = "
    ":P_CDFILIAL AND C.CDCAIXA = :P_CDCAIXA AND C.DTINIVIGENCIA <= :P_HOJE)";
inline constexpr std::string_view kSelVdConfUnica =
    "SELECT 1 FROM CONFTELACAIXA C WHERE CDFILIAL = :P_CDFILIAL AND NRCONFTELA = :P_NRCONFTELA "
    "AND NOT EXISTS (SELECT 1 FROM CONFTELACAIXA CF WHERE C.CDFILICAIXA = CF.CDFILICAIXA AND "
    "C.CDCAIXA = CF.CDCAIXA AND CF.DTINIVIGENCIA > C.DTINIVIGENCIA)";
inline constexpr std::string_view kDelItMenuAntiga =
    "DELETE FROM ITMENUCONFTE WHERE CDFILIAL = :P_CDFILIAL AND NRCONFTELA = :P_NRCONFTELA AND "
    "DTINIVIGENCIA = :P_DTINIVIGENCIA";
inline constexpr std::string_view kDelConfTelaAntiga =
    "DELETE FROM CONFTELA WHERE CDFILIAL = :P_CDFILIAL AND NRCONFTELA = :P_NRCONFTELA AND "
    "DTINIVIGENCIA = :P_DTINIVIGENCIA";

}  // namespace load::cleanup_sql
