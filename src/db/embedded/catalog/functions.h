#pragma once

#include <string>

struct sqlite3;

// SQL functions the catalogue views are computed with:
//   kivtab_user()                    the login the catalogue reports (the connection's USER ID)
//   kivtab_database()                the database's name
//   kivtab_type(declared, field)     a fact of the server type behind a declared column type;
//                                    field: name, xtype, length, precision, scale, char_length,
//                                    numeric_precision, numeric_scale, datetime_precision
//   kivtab_default_text(expression)  a default as the server's catalogue shows it
//   kivtab_constraints(table, sql)   the table's named constraints as a JSON array
//   kivtab_pk_name(table, sql)       the name of the table's primary key, or NULL
namespace db::embedded::catalog {

void registerFunctions(sqlite3* db, const std::string& user, const std::string& database);

}  // namespace db::embedded::catalog
