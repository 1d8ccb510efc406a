#pragma once

struct sqlite3;

namespace db::embedded::catalog {

// Registers the schema snapshot's relations as read-only table-valued names (kivtab_vt_tables,
// kivtab_vt_columns, kivtab_vt_constraints, kivtab_vt_indexes, kivtab_vt_index_columns) on the
// connection. Equality on their key columns is answered by look-up.
void registerSnapshotTables(sqlite3* db);

}  // namespace db::embedded::catalog
