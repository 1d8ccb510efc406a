#include "consumer_central/central_sql.h"

#include <initializer_list>

namespace consumer_central::sql {
namespace {

constexpr std::string_view kColumnsSelect =
    "SELECT C.NAME AS COL_NAME, CASE UPPER(T.NAME) WHEN 'VARCHAR' THEN CASE C.LENGTH WHEN -1 THEN "
    "'VARCHAR(MAX)' ELSE 'VARCHAR('+CAST(C.LENGTH AS VARCHAR)+')' END WHEN 'DECIMAL' THEN "
    "'DECIMAL('+CAST(C.XPREC AS VARCHAR)+','+CAST(C.XSCALE AS VARCHAR)+')' ELSE UPPER(T.NAME) END "
    "AS FIELD_TYPE, CASE C.ISNULLABLE WHEN '0' THEN 'NOT NULL' ELSE 'NULL' END AS NULLABLE, CASE "
    "WHEN UPPER(T.NAME) IN ('VARCHAR', 'CHAR') THEN SUBSTRING(CO.TEXT,2,LEN(CO.TEXT)-2) ELSE CASE "
    "SUBSTRING(CO.TEXT,2,1) WHEN '''' THEN SUBSTRING(CO.TEXT,3,LEN(CO.TEXT)-4) ELSE "
    "SUBSTRING(CO.TEXT,2,LEN(CO.TEXT)-2) END END AS COL_DEFAULT FROM MASTER.DBO.SYSLOGINS L, "
    "SYSCOLUMNS C LEFT JOIN SYSCOMMENTS CO ON (CO.ID = C.CDEFAULT), SYSOBJECTS O, SYSTYPES T, "
    "SYSUSERS U WHERE C.ID = O.ID AND O.XTYPE = 'U' AND C.XTYPE = T.XTYPE AND U.SID = L.SID AND "
    "L.NAME = :P_OWNER AND O.UID = U.UID ";

constexpr std::string_view kIndexesSelect =
    "SELECT I.NAME AS INDEX_NAME, C.NAME AS COL_NAME, 'ASC' AS DESCEND FROM SYS.OBJECTS O, "
    "SYS.INDEXES I, SYS.INDEX_COLUMNS IC, SYS.COLUMNS C WHERE I.OBJECT_ID = O.OBJECT_ID AND "
    "IC.OBJECT_ID = I.OBJECT_ID AND IC.INDEX_ID = I.INDEX_ID AND C.OBJECT_ID = IC.OBJECT_ID AND "
    "C.COLUMN_ID = IC.COLUMN_ID AND IC.IS_INCLUDED_COLUMN = 0 AND LEFT(I.NAME,1) <> '_' AND "
    "RIGHT(I.NAME,2) <> 'FK' AND I.NAME NOT IN ('CLIENFILIAL_02', 'CLIENTE_01', 'CLIENTE_02', "
    "'CONSUMIDOR_03', 'EMPRESA_01', 'MOVCAIXA_01', 'MOVCAIXA_02', 'MOVCAIXA_03', 'MOVICLIE_01', "
    "'MOVICLIE_02', 'MOVICLIE_03', 'MOVICLIE_04', 'MOVICLIE_05', 'MOVICLIE_DT', 'PRODUTO_02', "
    "'PRODUTO_03', 'PRODUTO_04', 'PRODUTO_05', 'PRODUTO_06', 'PRODUTO_07', 'PRODUTO_08', "
    "'PRODUTO_09', 'PRODUTO_CB', 'VENDA_01', 'VENDA_02', 'VENDA_03', 'VENDA_04', 'VENDA_05', "
    "'VENDA_06', 'VENDA_07') ";

constexpr std::string_view kIndexesOfTable =
    "AND O.NAME = :P_TABELA AND I.NAME <> 't' + :P_TABELA AND I.NAME <> :P_TABELA ";
constexpr std::string_view kIndexesOrder = "ORDER BY I.NAME, IC.KEY_ORDINAL";

constexpr std::string_view kColumnsOfTable =
    "AND O.NAME = :P_TABELA AND ((UPPER(T.NAME) <> 'IMAGE') OR (:P_TABELA = 'VENDA')) ";
constexpr std::string_view kColumnsOrder = "ORDER BY C.COLID, C.NAME";

// Of CONSUMIDOR, the columns SENHACONS keeps and the key columns among them.
constexpr std::string_view kPasswordColumns =
    "AND C.NAME IN ('CDCLIENTE', 'CDCONSUMIDOR', 'CDSENHACONS', 'DTULTATUCSUM', "
    "'IDATUCONSUMI') ORDER BY C.NAME";
constexpr std::string_view kPasswordKeyColumns =
    "AND C.NAME IN ('CDCLIENTE', 'CDCONSUMIDOR', 'CDSENHACONS', 'DTULTATUCSUM') ";

std::string text(std::initializer_list<std::string_view> parts) {
  std::string sql;
  for (std::string_view part : parts) sql += part;
  return sql;
}

}  // namespace

const std::string& columnsOfTable() {
  static const std::string sql = text({kColumnsSelect, kColumnsOfTable, kColumnsOrder});
  return sql;
}

const std::string& columnsOfPasswords() {
  static const std::string sql = text({kColumnsSelect, kColumnsOfTable, kPasswordColumns});
  return sql;
}

const std::string& indexesOfTable() {
  static const std::string sql = text({kIndexesSelect, kIndexesOfTable, kIndexesOrder});
  return sql;
}

const std::string& indexesOfPasswords() {
  static const std::string sql =
      text({kIndexesSelect, kIndexesOfTable, kPasswordKeyColumns, kIndexesOrder});
  return sql;
}

}  // namespace consumer_central::sql
