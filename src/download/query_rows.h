#pragma once

#include "db/core/connection.h"
#include "db/dataset/dataset.h"

namespace download {

// Re-creates `target` with one field per column of the query and appends every row. A field's
// type comes from the column's declared type, or from the values where the engine declares none
// (expressions).
void copyRowsInto(db::Rows& rows, db::DataSet& target);

}  // namespace download
