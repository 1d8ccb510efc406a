#pragma once

#include "schema/structure_package.h"

namespace schema {

// The package's names and texts end up inside DDL statements, where nothing can be bound. The
// tables of struct.cds are refused, before anything is changed, when a name is not a plain
// identifier, a FIELD_TYPE is not a type spelling of a type SQL Server or Oracle knows, NULLABLE is
// neither "NULL" nor "NOT NULL", DESCEND is neither ASC nor DESC, or a default could end its
// statement (";", a comment, an unclosed quote). Raises std::runtime_error naming the table and the
// text.
void checkPackage(const StructurePackage& package);

// One constraints.cds row, checked alike; its REFERENCES text may end in referential actions
// (ON DELETE / ON UPDATE ..., NOT FOR REPLICATION). Only the foreign key of an offending row is
// left out, so this raises for that row alone.
void checkForeignKeyRow(const ForeignKeyRow& row);

}  // namespace schema
