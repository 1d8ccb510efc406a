#pragma once

#include <string_view>

// The statements of the anticipated downloads. Branch codes and dates travel as parameters;
// table names come from the program's own fixed lists.
namespace download::anticipation_sql {

// DELCACHEPRODUTOSEG, the image of PRODUTOSEG that the delete-cache file fills.
inline constexpr std::string_view kDropTablePrefix = "DROP TABLE ";
inline constexpr std::string_view kSelectInto = "SELECT * INTO %IMAGE FROM %SOURCE WHERE 1 = 2";
inline constexpr std::string_view kAddCacheDate = "ALTER TABLE %IMAGE ADD DTULTATUCACH DATETIME";
inline constexpr std::string_view kSelectAllPrefix = "SELECT * FROM ";
inline constexpr std::string_view kTipoCol =
    "SELECT DATA_TYPE, CHARACTER_MAXIMUM_LENGTH FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME "
    "= :P_NMTABELA AND COLUMN_NAME = :P_NMCOLUNA";
inline constexpr std::string_view kAlterColumnNull =
    "ALTER TABLE %IMAGE ALTER COLUMN %COLUMN %TYPE NULL";
inline constexpr std::string_view kDelProdutoSegByCache =
    "DELETE FROM PRODUTOSEG  WHERE EXISTS (SELECT 1  FROM DELCACHEPRODUTOSEG  WHERE "
    "DELCACHEPRODUTOSEG.CDSEGMER = PRODUTOSEG.CDSEGMER  AND DELCACHEPRODUTOSEG.CDPRODUTO = "
    "PRODUTOSEG.CDPRODUTO  AND PRODUTOSEG.DTULTATUPSEG < DELCACHEPRODUTOSEG.DTULTATUCACH)";

// Price-table hierarchy: after the top level, only the rows of the changed price table stay.
inline constexpr std::string_view kDelOtherPriceTables =
    "DELETE FROM %TABLE WHERE CDTABEPREC <> :P_CDTABEPREC";

// Consumer temporary tables.
inline constexpr std::string_view kCreateConsTemp =
    "SELECT %COLUMNS INTO %TABLE FROM CONSUMIDOR WHERE 1 = 2";
inline constexpr std::string_view kSelPendingUpdate =
    "SELECT * FROM CONSDT_TEMP WHERE EXISTS (SELECT 1 FROM CONSUMIDOR WHERE "
    "CONSUMIDOR.CDCLIENTE = CONSDT_TEMP.CDCLIENTE AND CONSUMIDOR.CDCONSUMIDOR = "
    "CONSDT_TEMP.CDCONSUMIDOR)";
inline constexpr std::string_view kInsertNewConsumers =
    "INSERT INTO CONSUMIDOR (%COLUMNS) SELECT %COLUMNS FROM %TABLE WHERE NOT EXISTS (SELECT 1 "
    "FROM CONSUMIDOR C WHERE %TABLE.CDCLIENTE = C.CDCLIENTE AND %TABLE.CDCONSUMIDOR = "
    "C.CDCONSUMIDOR)";

}  // namespace download::anticipation_sql
