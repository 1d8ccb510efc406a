#pragma once

#include <string_view>

// The SQL texts of the structure update, named after the components that hold them.
namespace schema::sql {

// qryLocalStructMSDE: the local columns of one table, rendered the way the package spells them.
inline constexpr std::string_view kLocalStructMSDE =
    "SELECT C.NAME AS COL_NAME, CASE UPPER(T.NAME) WHEN 'VARCHAR' THEN "
    "'VARCHAR('+CAST(C.LENGTH AS VARCHAR)+')' WHEN 'DECIMAL' THEN "
    "'DECIMAL('+CAST(C.XPREC AS VARCHAR)+','+CAST(C.XSCALE AS VARCHAR)+')' ELSE UPPER(T.NAME) END "
    "AS FIELD_TYPE, CASE C.ISNULLABLE WHEN '0' THEN 'NOT NULL' ELSE 'NULL' END AS NULLABLE, CASE "
    "UPPER(T.NAME) WHEN 'VARCHAR' THEN SUBSTRING(CO.TEXT,2,LEN(CO.TEXT)-2) ELSE CASE "
    "SUBSTRING(CO.TEXT,2,1) WHEN '''' THEN SUBSTRING(CO.TEXT,3,LEN(CO.TEXT)-4) ELSE "
    "SUBSTRING(CO.TEXT,2,LEN(CO.TEXT)-2) END END AS COL_DEFAULT FROM MASTER.DBO.SYSLOGINS L, "
    "SYSCOLUMNS C LEFT JOIN SYSCOMMENTS CO ON (CO.ID = C.CDEFAULT), SYSOBJECTS O, SYSTYPES T, "
    "SYSUSERS U WHERE C.ID = O.ID AND O.XTYPE = 'U' AND C.XTYPE = T.XTYPE AND U.SID = L.SID AND "
    "L.NAME = :P_OWNER AND O.UID = U.UID AND O.NAME = :P_TABLE AND ((UPPER(T.NAME) <> 'IMAGE') OR "
    "(:P_TABLE = 'VENDA')) ORDER BY C.COLID, C.NAME";

// The same columns for every user table at once: one catalogue read per pass instead of one per
// table (each read walks the whole catalogue).
inline constexpr std::string_view kLocalStructAllTables =
    "SELECT O.NAME AS TABLE_NAME, C.NAME AS COL_NAME, CASE UPPER(T.NAME) WHEN 'VARCHAR' THEN "
    "'VARCHAR('+CAST(C.LENGTH AS VARCHAR)+')' WHEN 'DECIMAL' THEN "
    "'DECIMAL('+CAST(C.XPREC AS VARCHAR)+','+CAST(C.XSCALE AS VARCHAR)+')' ELSE UPPER(T.NAME) END "
    "AS FIELD_TYPE, CASE C.ISNULLABLE WHEN '0' THEN 'NOT NULL' ELSE 'NULL' END AS NULLABLE, CASE "
    "UPPER(T.NAME) WHEN 'VARCHAR' THEN SUBSTRING(CO.TEXT,2,LEN(CO.TEXT)-2) ELSE CASE "
    "SUBSTRING(CO.TEXT,2,1) WHEN '''' THEN SUBSTRING(CO.TEXT,3,LEN(CO.TEXT)-4) ELSE "
    "SUBSTRING(CO.TEXT,2,LEN(CO.TEXT)-2) END END AS COL_DEFAULT FROM MASTER.DBO.SYSLOGINS L, "
    "SYSCOLUMNS C LEFT JOIN SYSCOMMENTS CO ON (CO.ID = C.CDEFAULT), SYSOBJECTS O, SYSTYPES T, "
    "SYSUSERS U WHERE C.ID = O.ID AND O.XTYPE = 'U' AND C.XTYPE = T.XTYPE AND U.SID = L.SID AND "
    "L.NAME = :P_OWNER AND O.UID = U.UID AND ((UPPER(T.NAME) <> 'IMAGE') OR (O.NAME = 'VENDA')) "
    "ORDER BY O.NAME, C.COLID, C.NAME";

// qryLocalStructOracle.
inline constexpr std::string_view kLocalStructOracle =
    "SELECT COLUMN_NAME AS COL_NAME, DECODE(DATA_TYPE, 'VARCHAR2', 'VARCHAR2('||DATA_LENGTH||')', "
    "DATA_TYPE) AS FIELD_TYPE, DECODE(NULLABLE, 'N', 'NOT NULL', 'NULL') AS NULLABLE, DATA_DEFAULT "
    "AS COL_DEFAULT FROM ALL_TAB_COLUMNS WHERE (OWNER = :P_OWNER) AND (TABLE_NAME = :P_TABLE) "
    "ORDER BY COLUMN_ID";

// adqExisteTabelaOracle: the owner's table of that name.
inline constexpr std::string_view kExisteTabelaOracle =
    "SELECT COUNT(*) AS NRTABELAS FROM ALL_TABLES WHERE (OWNER = :P_OWNER) AND (TABLE_NAME = "
    ":P_TABLE)";

// adqExisteTabela, and the names of every object for the whole pass.
inline constexpr std::string_view kExisteTabela =
    "SELECT COUNT(*) AS NRTABELAS FROM SYSOBJECTS WHERE NAME = :P_NAME";
inline constexpr std::string_view kAllObjectNames = "SELECT NAME FROM SYSOBJECTS";

// adqConsultaIndex, and every index name for the whole pass.
inline constexpr std::string_view kConsultaIndex =
    "SELECT i.name FROM sys.indexes AS i INNER JOIN sys.data_spaces AS ds ON i.data_space_id = "
    "ds.data_space_id WHERE is_hypothetical = 0 AND i.index_id <> 0 AND i.name = :P_NAME";
inline constexpr std::string_view kAllIndexNames =
    "SELECT i.name FROM sys.indexes AS i INNER JOIN sys.data_spaces AS ds ON i.data_space_id = "
    "ds.data_space_id WHERE is_hypothetical = 0 AND i.index_id <> 0";

// adqIndTabelaNRORG.
inline constexpr std::string_view kIndTabelaNRORG =
    "SELECT DISTINCT SI.NAME FROM SYS.OBJECTS SO, SYS.INDEXES SI, SYS.INDEX_COLUMNS SC, "
    "SYS.COLUMNS "
    "C WHERE SO.NAME = :P_NMTABELA AND SO.object_id = SI.OBJECT_ID AND SI.INDEX_ID = SC.INDEX_ID "
    "AND SO.OBJECT_ID = C.OBJECT_ID AND SC.COLUMN_ID = C.COLUMN_ID AND C.NAME = 'NRORG'";

// adqVerifTab and acmCTRLEXECREM: the remote-execution table, created when it cannot be read.
inline constexpr std::string_view kVerifTab =
    "SELECT IDCTRLEXECREM, IDSTCTRLEXECREM, TPOPERACAO, DSOPERACAO FROM CTRLEXECREM WHERE "
    "IDSTCTRLEXECREM = 'P' AND CONVERT(VARCHAR,DTINCLUSAO,103) = CONVERT(VARCHAR,GETDATE(),103)";
inline constexpr std::string_view kCreateCtrlExecRem =
    "CREATE TABLE CTRLEXECREM (\r\n"
    "    IDCTRLEXECREM INT IDENTITY PRIMARY KEY,\r\n"
    "    CDAPP VARCHAR(16),\r\n"
    "    TPOPERACAO VARCHAR(50),\r\n"
    "    DSOPERACAO NVARCHAR(MAX),\r\n"
    "    IDSTCTRLEXECREM VARCHAR(3),\r\n"
    "    DSERRO NVARCHAR(MAX),\r\n"
    "    DTINCLUSAO DATETIME DEFAULT GETDATE(),\r\n"
    "    DTINICIO DATETIME,\r\n"
    "    DTULTATU DATETIME\r\n"
    ")";

// The same check on a local Oracle database (identity columns need Oracle 12c or later).
inline constexpr std::string_view kVerifTabOracle =
    "SELECT IDCTRLEXECREM, IDSTCTRLEXECREM, TPOPERACAO, DSOPERACAO FROM CTRLEXECREM WHERE "
    "IDSTCTRLEXECREM = 'P' AND TRUNC(DTINCLUSAO) = TRUNC(SYSDATE)";
inline constexpr std::string_view kCreateCtrlExecRemOracle =
    "CREATE TABLE CTRLEXECREM (\r\n"
    "    IDCTRLEXECREM NUMBER(10) GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,\r\n"
    "    CDAPP VARCHAR2(16),\r\n"
    "    TPOPERACAO VARCHAR2(50),\r\n"
    "    DSOPERACAO NCLOB,\r\n"
    "    IDSTCTRLEXECREM VARCHAR2(3),\r\n"
    "    DSERRO NCLOB,\r\n"
    "    DTINCLUSAO DATE DEFAULT SYSDATE,\r\n"
    "    DTINICIO DATE,\r\n"
    "    DTULTATU DATE\r\n"
    ")";

// One-off corrections run before the tables, after them and at the very end; each may fail.
inline constexpr std::string_view kFixesBefore[] = {
    "ALTER TABLE ITHRCOMANDA DROP CONSTRAINT PK_ITHRCOMANDA",
    "ALTER TABLE ITHRCOMANDA ADD CONSTRAINT PK_ITHRCOMANDA PRIMARY KEY (CDFILIAL, CDCAIXA, "
    "NRSEQVENDA, NRSEQUITEM)",
    "ALTER TABLE SETORPRODUTO DROP CONSTRAINT PK_SETORPRODUTO",
    "ALTER TABLE SETORPRODUTO ADD CONSTRAINT PK_SETORPRODUTO PRIMARY KEY (CDPRODUTO, CDSETOR)",
    "ALTER TABLE MOVCAIXA DROP COLUMN IDTIPORECE",
};
inline constexpr std::string_view kIndexMovCaixa =
    "CREATE NONCLUSTERED INDEX IDX_MOVCAIXA ON MOVCAIXA (CDFILIAL,NRSEQVENDA)";
inline constexpr std::string_view kDropPkCtrlBaixaTab =
    "ALTER TABLE CTRLBAIXATAB DROP CONSTRAINT PK_CTRLBAIXATAB";
inline constexpr std::string_view kDropPkBaseCalc =
    "ALTER TABLE BASECALC DROP CONSTRAINT PK_BASECALC";

// The date-time default that replaces SYSDATE and GETDATE defaults: now, to the second.
inline constexpr std::string_view kDateTimeDefault =
    "CONVERT(DATETIME,CONVERT(VARCHAR,GETDATE(),103) + ' ' + CONVERT(VARCHAR,GETDATE(),108))";

// adqDtVigencia and the download-ledger rows of the tables the configurations preparation drops.
inline constexpr std::string_view kDtVigencia = "SELECT DISTINCT DTINIVIGENCIA\r\n FROM CONFTELA";
inline constexpr std::string_view kDeleteCtrlBaixaTab =
    "DELETE FROM CTRLBAIXATAB WHERE NMTABELA = :P_NMTABELA";

// The snapshot-isolation setting: adqConfigSnapshot, acmSingleUser, acmConfigSnapshot,
// acmMultiUser. A database name cannot be bound where an object name stands, so the three
// commands receive it bracket-quoted in place of :P_BASE.
inline constexpr std::string_view kConfigSnapshot =
    "SELECT is_read_committed_snapshot_on as CONFIG FROM sys.databases WHERE name= :P_BASE";
inline constexpr std::string_view kSingleUser =
    "ALTER DATABASE :P_BASE SET SINGLE_USER WITH ROLLBACK IMMEDIATE";
inline constexpr std::string_view kConfigSnapshotOn =
    "ALTER DATABASE :P_BASE SET READ_COMMITTED_SNAPSHOT ON";
inline constexpr std::string_view kMultiUser = "ALTER DATABASE :P_BASE SET MULTI_USER";
inline constexpr std::string_view kDatabaseParameter = ":P_BASE";

// The connection's default database.
inline constexpr std::string_view kDefaultDatabase = "SELECT DB_NAME() AS NAME";

}  // namespace schema::sql
