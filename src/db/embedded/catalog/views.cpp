#include "db/embedded/catalog/views.h"

#include "db/embedded/catalog/sql_types.h"

namespace db::embedded::catalog {
namespace {

// Building blocks, not catalogue names themselves. Tables, columns, constraints and indexes
// come from the schema snapshot (see schema_snapshot.h).

constexpr std::string_view kTables = R"sql(
SELECT id, name, type, sql FROM kivtab_vt_tables)sql";

constexpr std::string_view kObjects = R"sql(
SELECT name, id, type, parent_id, create_date, modify_date, is_disabled, is_instead_of
FROM kivtab_vt_objects)sql";

// The old-style catalogue.

constexpr std::string_view kSysObjects = R"sql(
SELECT name, id, type AS xtype, type AS type, 1 AS uid, parent_id AS parent_obj, 0 AS status, 0 AS category, 0 AS base_schema_ver,
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
SELECT name, table_id AS id, CAST(cid + 1 AS INTEGER) AS colid, xtype, xtype AS xusertype,
       length, xprec, xscale, xprec AS prec, xscale AS scale,
       CAST(CASE WHEN not_null OR pk > 0 THEN 0 ELSE 1 END AS INTEGER) AS isnullable,
       default_id AS cdefault, 0 AS domain, 0 AS iscomputed, 0 AS isoutparam, 0 AS number
FROM kivtab_vt_columns)sql";

constexpr std::string_view kSysComments = R"sql(
SELECT id, 0 AS number, 1 AS colid, 0 AS status, text, 0 AS encrypted, 0 AS compressed
FROM kivtab_vt_comments)sql";

// The newer catalogue views.

constexpr std::string_view kSysObjectsNew = R"sql(
SELECT name, id AS object_id, NULL AS principal_id, 1 AS schema_id,
       parent_id AS parent_object_id, type,
       CASE type WHEN 'U' THEN 'USER_TABLE' WHEN 'V' THEN 'VIEW'
                 WHEN 'P' THEN 'SQL_STORED_PROCEDURE' WHEN 'TR' THEN 'SQL_TRIGGER'
                 WHEN 'PK' THEN 'PRIMARY_KEY_CONSTRAINT' WHEN 'F' THEN 'FOREIGN_KEY_CONSTRAINT'
                 WHEN 'D' THEN 'DEFAULT_CONSTRAINT' WHEN 'UQ' THEN 'UNIQUE_CONSTRAINT'
                 WHEN 'C' THEN 'CHECK_CONSTRAINT' END AS type_desc,
       create_date, modify_date, 0 AS is_ms_shipped, 0 AS is_published,
       0 AS is_schema_published
FROM kivtab_cat_objects)sql";

constexpr std::string_view kSysColumnsNew = R"sql(
SELECT table_id AS object_id, name, CAST(cid + 1 AS INTEGER) AS column_id,
       xtype AS system_type_id, xtype AS user_type_id, length AS max_length, xprec AS precision,
       xscale AS scale, NULL AS collation_name,
       CAST(CASE WHEN not_null OR pk > 0 THEN 0 ELSE 1 END AS INTEGER) AS is_nullable,
       is_identity, 0 AS is_computed, 0 AS is_rowguidcol, 0 AS is_filestream,
       default_id AS default_object_id, 0 AS rule_object_id
FROM kivtab_vt_columns)sql";

constexpr std::string_view kSysTypesNew = R"sql(
SELECT name, xtype AS system_type_id, xusertype AS user_type_id, 4 AS schema_id,
       length AS max_length, xprec AS precision, xscale AS scale, 1 AS is_nullable,
       0 AS is_user_defined, 0 AS is_assembly_type
FROM kivtab_systypes)sql";

// A table's primary key is its clustered index 1; a table without one is a heap (index 0).
constexpr std::string_view kSysIndexes = R"sql(
SELECT object_id, name, index_id, type, type_desc, is_unique, 1 AS data_space_id,
       0 AS ignore_dup_key, is_primary_key, is_unique_constraint, 0 AS fill_factor,
       0 AS is_padded, 0 AS is_disabled, 0 AS is_hypothetical, 1 AS allow_row_locks,
       1 AS allow_page_locks, has_filter
FROM kivtab_vt_indexes)sql";

constexpr std::string_view kSysIndexColumns = R"sql(
SELECT object_id, index_id, index_column_id, column_id, key_ordinal, 0 AS partition_ordinal,
       is_descending_key, 0 AS is_included_column
FROM kivtab_vt_index_columns)sql";

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
      SELECT d.value, 5 + d.key,
             CASE WHEN d.value = kivtab_database() COLLATE NOCASE
                  THEN COALESCE((SELECT value FROM kivtab_settings WHERE name = 'user_access'),
                                'MULTI_USER') ELSE 'MULTI_USER' END,
             CASE WHEN d.value = kivtab_database() COLLATE NOCASE
                  THEN COALESCE((SELECT value FROM kivtab_settings
                                 WHERE name = 'allow_snapshot_isolation'), 0) ELSE 0 END,
             CASE WHEN d.value = kivtab_database() COLLATE NOCASE
                  THEN COALESCE((SELECT value FROM kivtab_settings
                                 WHERE name = 'read_committed_snapshot'), 0) ELSE 0 END
      FROM json_each(kivtab_databases()) d))sql";

constexpr std::string_view kSysTriggers = R"sql(
SELECT name, id AS object_id, 1 AS parent_class,
       'OBJECT_OR_COLUMN' AS parent_class_desc, parent_id,
       'TR' AS type, 'SQL_TRIGGER' AS type_desc, create_date, modify_date, 0 AS is_ms_shipped,
       is_disabled, 0 AS is_not_for_replication, is_instead_of AS is_instead_of_trigger
FROM kivtab_cat_objects WHERE type = 'TR')sql";

constexpr std::string_view kSysSchemas = R"sql(
SELECT 'dbo' COLLATE NOCASE AS name, 1 AS schema_id, 1 AS principal_id)sql";

constexpr std::string_view kInfoTables = R"sql(
SELECT kivtab_database() COLLATE NOCASE AS TABLE_CATALOG, 'dbo' COLLATE NOCASE AS TABLE_SCHEMA,
       name AS TABLE_NAME, CASE type WHEN 'table' THEN 'BASE TABLE' ELSE 'VIEW' END AS TABLE_TYPE
FROM kivtab_cat_tables)sql";

constexpr std::string_view kInfoColumns = R"sql(
SELECT kivtab_database() COLLATE NOCASE AS TABLE_CATALOG, 'dbo' COLLATE NOCASE AS TABLE_SCHEMA,
       table_name AS TABLE_NAME, name AS COLUMN_NAME, CAST(cid + 1 AS INTEGER) AS ORDINAL_POSITION,
       default_text AS COLUMN_DEFAULT,
       CASE WHEN not_null OR pk > 0 THEN 'NO' ELSE 'YES' END AS IS_NULLABLE,
       type_name AS DATA_TYPE, char_length AS CHARACTER_MAXIMUM_LENGTH,
       CASE WHEN type_name IN ('nvarchar', 'nchar') AND char_length > 0 THEN 2 * char_length
            ELSE char_length END AS CHARACTER_OCTET_LENGTH,
       numeric_precision AS NUMERIC_PRECISION,
       CASE WHEN numeric_precision IS NOT NULL
            THEN CASE WHEN type_name IN ('float', 'real') THEN 2 ELSE 10 END
       END AS NUMERIC_PRECISION_RADIX,
       numeric_scale AS NUMERIC_SCALE, datetime_precision AS DATETIME_PRECISION,
       NULL AS CHARACTER_SET_NAME, NULL AS COLLATION_NAME
FROM kivtab_vt_columns)sql";

}  // namespace

const std::vector<CatalogView>& catalogViews() {
  static const std::string kSysTypes = systemTypesSelect();
  static const std::vector<CatalogView> kViews = {
      {{}, "kivtab_cat_tables", kTables},
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
