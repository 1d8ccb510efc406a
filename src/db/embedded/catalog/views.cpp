#include "db/embedded/catalog/views.h"

#include "db/embedded/catalog/sql_types.h"

namespace db::embedded::catalog {
namespace {

// Building blocks, not catalogue names themselves. Table-valued functions are joined with
// CROSS JOIN so that the planner always runs them after the table that feeds their argument.

// User tables and views; SQLite's and the engine's own tables are left out.
constexpr std::string_view kTables = R"sql(
SELECT rowid AS id, name COLLATE NOCASE AS name, type, sql FROM main.sqlite_schema
WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite\_%' ESCAPE '\'
  AND name NOT LIKE 'kivtab\_%' ESCAPE '\')sql";

constexpr std::string_view kColumns = R"sql(
SELECT t.id AS table_id, t.name AS table_name, t.type AS table_type, p.cid AS cid,
       p.name COLLATE NOCASE AS name, p.type AS declared, p."notnull" AS not_null,
       p.dflt_value AS dflt, p.pk AS pk
FROM kivtab_cat_tables t CROSS JOIN pragma_table_info(t.name, 'main') p)sql";

constexpr std::string_view kConstraints = R"sql(
SELECT t.id AS parent_id, t.name AS table_name,
       t.id * 65536 + (j.value ->> 'offset') AS id,
       (j.value ->> 'name') COLLATE NOCASE AS name, j.value ->> 'type' AS type
FROM kivtab_cat_tables t CROSS JOIN json_each(kivtab_constraints(t.name, t.sql)) j
WHERE t.type = 'table')sql";

// Procedures, and triggers whose table still exists: a table's triggers carry a marker trigger
// in SQLite's schema that goes when the table is dropped (see the DDL's procedural objects).
constexpr std::string_view kProcedural = R"sql(
SELECT o.name COLLATE NOCASE AS name, 4294967296 + o.rowid AS id, o.type AS type,
       COALESCE(t.id, 0) AS parent_id, o.is_disabled AS is_disabled,
       o.is_instead_of AS is_instead_of, o.definition AS definition,
       o.create_date AS create_date, o.modify_date AS modify_date
FROM kivtab_objects o LEFT JOIN kivtab_cat_tables t ON t.name = o.parent
WHERE o.type = 'P'
   OR (t.type = 'view')
   OR EXISTS (SELECT 1 FROM main.sqlite_schema m
              WHERE m.type = 'trigger' AND m.name = 'kivtab_marker_' || o.name COLLATE NOCASE
                AND m.tbl_name = o.parent COLLATE NOCASE))sql";

constexpr std::string_view kObjects = R"sql(
SELECT name COLLATE NOCASE AS name, id, type COLLATE NOCASE AS type, parent_id,
       create_date, modify_date
FROM (SELECT name, id, CASE type WHEN 'table' THEN 'U' ELSE 'V' END AS type, 0 AS parent_id,
             NULL AS create_date, NULL AS modify_date FROM kivtab_cat_tables
      UNION ALL
      SELECT name, id, type, parent_id, NULL, NULL FROM kivtab_cat_constraints
      UNION ALL
      SELECT name, id, type, parent_id, create_date, modify_date FROM kivtab_cat_procedural))sql";

// The old-style catalogue.

constexpr std::string_view kSysObjects = R"sql(
SELECT name, CAST(id AS INTEGER) AS id, type AS xtype, type AS type, 1 AS uid,
       CAST(parent_id AS INTEGER) AS parent_obj, 0 AS status, 0 AS category, 0 AS base_schema_ver,
       create_date AS crdate, create_date AS refdate
FROM kivtab_cat_objects)sql";

constexpr std::string_view kSysUsers = R"sql(
SELECT 1 AS uid, kivtab_user() COLLATE NOCASE AS name, X'01' AS sid, 2 AS status,
       1 AS hasdbaccess, 1 AS islogin, 0 AS isntname, 0 AS issqlrole, 1 AS issqluser)sql";

constexpr std::string_view kSysLogins = R"sql(
SELECT X'01' AS sid, kivtab_user() COLLATE NOCASE AS name,
       kivtab_user() COLLATE NOCASE AS loginname, kivtab_database() COLLATE NOCASE AS dbname,
       'us_english' AS language, 0 AS denylogin, 1 AS hasaccess, 0 AS isntname, 1 AS sysadmin)sql";

constexpr std::string_view kSysColumns = R"sql(
SELECT c.name AS name, c.table_id AS id, CAST(c.cid + 1 AS INTEGER) AS colid,
       CAST(kivtab_type(c.declared, 'xtype') AS INTEGER) AS xtype,
       CAST(kivtab_type(c.declared, 'xtype') AS INTEGER) AS xusertype,
       CAST(kivtab_type(c.declared, 'length') AS INTEGER) AS length,
       CAST(kivtab_type(c.declared, 'precision') AS INTEGER) AS xprec,
       CAST(kivtab_type(c.declared, 'scale') AS INTEGER) AS xscale,
       CAST(kivtab_type(c.declared, 'precision') AS INTEGER) AS prec,
       CAST(kivtab_type(c.declared, 'scale') AS INTEGER) AS scale,
       CAST(CASE WHEN c.not_null OR c.pk > 0 THEN 0 ELSE 1 END AS INTEGER) AS isnullable,
       CAST(CASE WHEN c.dflt IS NULL OR c.table_type <> 'table' THEN 0
                 ELSE c.table_id * 65536 + c.cid + 1 END AS INTEGER) AS cdefault,
       0 AS domain, 0 AS iscomputed, 0 AS isoutparam, 0 AS number
FROM kivtab_cat_columns c)sql";

constexpr std::string_view kSysComments = R"sql(
SELECT CAST(id AS INTEGER) AS id, 0 AS number, 1 AS colid, 0 AS status, text,
       0 AS encrypted, 0 AS compressed
FROM (SELECT c.table_id * 65536 + c.cid + 1 AS id, kivtab_default_text(c.dflt) AS text
      FROM kivtab_cat_columns c WHERE c.dflt IS NOT NULL AND c.table_type = 'table'
      UNION ALL
      SELECT id, definition FROM kivtab_cat_procedural
      UNION ALL
      SELECT id, sql FROM kivtab_cat_tables WHERE type = 'view'))sql";

// The newer catalogue views.

constexpr std::string_view kSysObjectsNew = R"sql(
SELECT name, CAST(id AS INTEGER) AS object_id, NULL AS principal_id, 1 AS schema_id,
       CAST(parent_id AS INTEGER) AS parent_object_id, type,
       CASE type WHEN 'U' THEN 'USER_TABLE' WHEN 'V' THEN 'VIEW'
                 WHEN 'P' THEN 'SQL_STORED_PROCEDURE' WHEN 'TR' THEN 'SQL_TRIGGER'
                 WHEN 'PK' THEN 'PRIMARY_KEY_CONSTRAINT' WHEN 'F' THEN 'FOREIGN_KEY_CONSTRAINT'
                 WHEN 'D' THEN 'DEFAULT_CONSTRAINT' WHEN 'UQ' THEN 'UNIQUE_CONSTRAINT'
                 WHEN 'C' THEN 'CHECK_CONSTRAINT' END AS type_desc,
       create_date, modify_date, 0 AS is_ms_shipped, 0 AS is_published,
       0 AS is_schema_published
FROM kivtab_cat_objects)sql";

constexpr std::string_view kSysColumnsNew = R"sql(
SELECT c.id AS object_id, c.name, c.colid AS column_id, c.xtype AS system_type_id,
       c.xusertype AS user_type_id, c.length AS max_length, c.xprec AS precision,
       c.xscale AS scale, NULL AS collation_name, c.isnullable AS is_nullable,
       CAST(CASE WHEN EXISTS (SELECT 1 FROM kivtab_cat_columns k
                              WHERE k.table_id = c.id AND k.cid + 1 = c.colid AND k.pk = 1
                                AND upper(k.declared) = 'INTEGER'
                                AND (SELECT count(*) FROM kivtab_cat_columns q
                                     WHERE q.table_id = c.id AND q.pk > 0) = 1)
                 THEN 1 ELSE 0 END AS INTEGER) AS is_identity,
       0 AS is_computed, 0 AS is_rowguidcol, 0 AS is_filestream,
       c.cdefault AS default_object_id, 0 AS rule_object_id
FROM kivtab_syscolumns c)sql";

constexpr std::string_view kSysTypesNew = R"sql(
SELECT name, xtype AS system_type_id, xusertype AS user_type_id, 4 AS schema_id,
       length AS max_length, xprec AS precision, xscale AS scale, 1 AS is_nullable,
       0 AS is_user_defined, 0 AS is_assembly_type
FROM kivtab_systypes)sql";

// A table's primary key is its clustered index 1; a table without one is a heap (index 0).
constexpr std::string_view kSysIndexes = R"sql(
SELECT CAST(object_id AS INTEGER) AS object_id, name COLLATE NOCASE AS name,
       CAST(index_id AS INTEGER) AS index_id, type, type_desc,
       CAST(is_unique AS INTEGER) AS is_unique, 1 AS data_space_id, 0 AS ignore_dup_key,
       CAST(is_primary_key AS INTEGER) AS is_primary_key,
       CAST(is_unique_constraint AS INTEGER) AS is_unique_constraint, 0 AS fill_factor,
       0 AS is_padded, 0 AS is_disabled, 0 AS is_hypothetical, 1 AS allow_row_locks,
       1 AS allow_page_locks, CAST(has_filter AS INTEGER) AS has_filter
FROM (SELECT t.id AS object_id, CASE WHEN t.pk THEN kivtab_pk_name(t.name, t.sql) END AS name,
             CASE WHEN t.pk THEN 1 ELSE 0 END AS index_id, CASE WHEN t.pk THEN 1 ELSE 0 END AS type,
             CASE WHEN t.pk THEN 'CLUSTERED' ELSE 'HEAP' END AS type_desc, t.pk AS is_unique,
             t.pk AS is_primary_key, 0 AS is_unique_constraint, 0 AS has_filter
      FROM (SELECT k.id, k.name, k.sql,
                   EXISTS (SELECT 1 FROM pragma_table_info(k.name, 'main') p WHERE p.pk > 0) AS pk
            FROM kivtab_cat_tables k WHERE k.type = 'table') t
      UNION ALL
      SELECT t.id, il.name, s.rowid + 1, 2, 'NONCLUSTERED', il."unique", 0, il.origin = 'u',
             il.partial
      FROM kivtab_cat_tables t CROSS JOIN pragma_index_list(t.name, 'main') il
           JOIN main.sqlite_schema s ON s.type = 'index' AND s.name = il.name
      WHERE t.type = 'table' AND il.origin <> 'pk'))sql";

constexpr std::string_view kSysIndexColumns = R"sql(
SELECT CAST(object_id AS INTEGER) AS object_id, CAST(index_id AS INTEGER) AS index_id,
       CAST(index_column_id AS INTEGER) AS index_column_id,
       CAST(column_id AS INTEGER) AS column_id, CAST(key_ordinal AS INTEGER) AS key_ordinal,
       0 AS partition_ordinal, CAST(is_descending_key AS INTEGER) AS is_descending_key,
       0 AS is_included_column
FROM (SELECT c.table_id AS object_id, 1 AS index_id, c.pk AS index_column_id,
             c.cid + 1 AS column_id, c.pk AS key_ordinal, 0 AS is_descending_key
      FROM kivtab_cat_columns c WHERE c.table_type = 'table' AND c.pk > 0
      UNION ALL
      SELECT t.id, s.rowid + 1, x.seqno + 1, x.cid + 1, x.seqno + 1, x."desc"
      FROM kivtab_cat_tables t CROSS JOIN pragma_index_list(t.name, 'main') il
           JOIN main.sqlite_schema s ON s.type = 'index' AND s.name = il.name
           CROSS JOIN pragma_index_xinfo(il.name, 'main') x
      WHERE t.type = 'table' AND il.origin <> 'pk' AND x.key = 1 AND x.cid >= 0))sql";

constexpr std::string_view kSysDataSpaces = R"sql(
SELECT 'PRIMARY' COLLATE NOCASE AS name, 1 AS data_space_id, 'FG' AS type,
       'ROWS_FILEGROUP' AS type_desc, 1 AS is_default, 0 AS is_system)sql";

constexpr std::string_view kSysDatabases = R"sql(
SELECT name COLLATE NOCASE AS name, CAST(database_id AS INTEGER) AS database_id,
       NULL AS source_database_id, X'01' AS owner_sid, 100 AS compatibility_level,
       'SQL_Latin1_General_CP1_CI_AS' AS collation_name,
       CAST(CASE user_access WHEN 'SINGLE_USER' THEN 1 WHEN 'RESTRICTED_USER' THEN 2 ELSE 0 END
            AS INTEGER) AS user_access,
       user_access AS user_access_desc, 0 AS is_read_only, 0 AS state, 'ONLINE' AS state_desc,
       CAST(snapshot AS INTEGER) AS snapshot_isolation_state,
       CASE WHEN snapshot THEN 'ON' ELSE 'OFF' END AS snapshot_isolation_state_desc,
       CAST(rcsi AS INTEGER) AS is_read_committed_snapshot_on
FROM (SELECT 'master' AS name, 1 AS database_id, 'MULTI_USER' AS user_access, 0 AS snapshot,
             0 AS rcsi
      UNION ALL SELECT 'tempdb', 2, 'MULTI_USER', 0, 0
      UNION ALL SELECT 'model', 3, 'MULTI_USER', 0, 0
      UNION ALL SELECT 'msdb', 4, 'MULTI_USER', 0, 0
      UNION ALL
      SELECT kivtab_database(), 5,
             COALESCE((SELECT value FROM kivtab_settings WHERE name = 'user_access'),
                      'MULTI_USER'),
             COALESCE((SELECT value FROM kivtab_settings
                       WHERE name = 'allow_snapshot_isolation'), 0),
             COALESCE((SELECT value FROM kivtab_settings
                       WHERE name = 'read_committed_snapshot'), 0)))sql";

constexpr std::string_view kSysTriggers = R"sql(
SELECT name, CAST(id AS INTEGER) AS object_id, 1 AS parent_class,
       'OBJECT_OR_COLUMN' AS parent_class_desc, CAST(parent_id AS INTEGER) AS parent_id,
       'TR' AS type, 'SQL_TRIGGER' AS type_desc, create_date, modify_date, 0 AS is_ms_shipped,
       CAST(is_disabled AS INTEGER) AS is_disabled, 0 AS is_not_for_replication,
       CAST(is_instead_of AS INTEGER) AS is_instead_of_trigger
FROM kivtab_cat_procedural WHERE type = 'TR')sql";

constexpr std::string_view kSysSchemas = R"sql(
SELECT 'dbo' COLLATE NOCASE AS name, 1 AS schema_id, 1 AS principal_id)sql";

constexpr std::string_view kInfoTables = R"sql(
SELECT kivtab_database() COLLATE NOCASE AS TABLE_CATALOG, 'dbo' COLLATE NOCASE AS TABLE_SCHEMA,
       name AS TABLE_NAME, CASE type WHEN 'table' THEN 'BASE TABLE' ELSE 'VIEW' END AS TABLE_TYPE
FROM kivtab_cat_tables)sql";

constexpr std::string_view kInfoColumns = R"sql(
SELECT kivtab_database() COLLATE NOCASE AS TABLE_CATALOG, 'dbo' COLLATE NOCASE AS TABLE_SCHEMA,
       c.table_name AS TABLE_NAME, c.name AS COLUMN_NAME,
       CAST(c.cid + 1 AS INTEGER) AS ORDINAL_POSITION,
       CASE WHEN c.table_type = 'table' THEN kivtab_default_text(c.dflt) END AS COLUMN_DEFAULT,
       CASE WHEN c.not_null OR c.pk > 0 THEN 'NO' ELSE 'YES' END AS IS_NULLABLE,
       kivtab_type(c.declared, 'name') COLLATE NOCASE AS DATA_TYPE,
       CAST(kivtab_type(c.declared, 'char_length') AS INTEGER) AS CHARACTER_MAXIMUM_LENGTH,
       CAST(CASE WHEN kivtab_type(c.declared, 'char_length') IS NULL THEN NULL
                 WHEN kivtab_type(c.declared, 'name') IN ('nvarchar', 'nchar')
                      AND kivtab_type(c.declared, 'char_length') > 0
                 THEN 2 * kivtab_type(c.declared, 'char_length')
                 ELSE kivtab_type(c.declared, 'char_length') END AS INTEGER)
           AS CHARACTER_OCTET_LENGTH,
       CAST(kivtab_type(c.declared, 'numeric_precision') AS INTEGER) AS NUMERIC_PRECISION,
       CASE WHEN kivtab_type(c.declared, 'numeric_precision') IS NOT NULL
            THEN CASE WHEN kivtab_type(c.declared, 'name') IN ('float', 'real') THEN 2 ELSE 10 END
       END AS NUMERIC_PRECISION_RADIX,
       CAST(kivtab_type(c.declared, 'numeric_scale') AS INTEGER) AS NUMERIC_SCALE,
       CAST(kivtab_type(c.declared, 'datetime_precision') AS INTEGER) AS DATETIME_PRECISION,
       NULL AS CHARACTER_SET_NAME, NULL AS COLLATION_NAME
FROM kivtab_cat_columns c)sql";

}  // namespace

const std::vector<CatalogView>& catalogViews() {
  static const std::string kSysTypes = systemTypesSelect();
  static const std::vector<CatalogView> kViews = {
      {{}, "kivtab_cat_tables", kTables},
      {{}, "kivtab_cat_columns", kColumns},
      {{}, "kivtab_cat_constraints", kConstraints},
      {{}, "kivtab_cat_procedural", kProcedural},
      {{}, "kivtab_cat_objects", kObjects},
      {{"sysobjects", "sys.sysobjects"}, "kivtab_sysobjects", kSysObjects},
      {{"sysusers", "sys.sysusers"}, "kivtab_sysusers", kSysUsers},
      {{"syslogins", "sys.syslogins"}, "kivtab_syslogins", kSysLogins},
      {{"systypes", "sys.systypes"}, "kivtab_systypes", kSysTypes},
      {{"syscolumns", "sys.syscolumns"}, "kivtab_syscolumns", kSysColumns},
      {{"syscomments", "sys.syscomments"}, "kivtab_syscomments", kSysComments},
      {{"sys.objects"}, "kivtab_sys_objects", kSysObjectsNew},
      {{"sys.columns"}, "kivtab_sys_columns", kSysColumnsNew},
      {{"sys.types"}, "kivtab_sys_types", kSysTypesNew},
      {{"sys.indexes"}, "kivtab_sys_indexes", kSysIndexes},
      {{"sys.index_columns"}, "kivtab_sys_index_columns", kSysIndexColumns},
      {{"sys.data_spaces", "sys.filegroups"}, "kivtab_sys_data_spaces", kSysDataSpaces},
      {{"sys.databases", "sys.sysdatabases", "sysdatabases"},
       "kivtab_sys_databases",
       kSysDatabases},
      {{"sys.triggers"}, "kivtab_sys_triggers", kSysTriggers},
      {{"sys.schemas"}, "kivtab_sys_schemas", kSysSchemas},
      {{"information_schema.tables"}, "kivtab_is_tables", kInfoTables},
      {{"information_schema.columns"}, "kivtab_is_columns", kInfoColumns},
  };
  return kViews;
}

std::string systemTypesSelect() {
  std::string values;
  for (const auto& t : systemTypes()) {
    if (!values.empty()) values += ", ";
    values += "('" + std::string(t.name) + "', " + std::to_string(t.xtype) + ", " +
              std::to_string(t.length) + ", " + std::to_string(t.precision) + ", " +
              std::to_string(t.scale) + ")";
  }
  return "SELECT column1 COLLATE NOCASE AS name, column2 AS xtype, column2 AS xusertype, "
         "column3 AS length, column4 AS xprec, column5 AS xscale, column4 AS prec, "
         "column5 AS scale, 0 AS status, 4 AS uid FROM (VALUES " +
         values + ")";
}

}  // namespace db::embedded::catalog
