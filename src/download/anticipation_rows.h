#pragma once

#include "db/core/connection.h"
#include "db/dataset/dataset.h"
#include "download/update_ledger.h"

namespace download {

// Re-creates `target` with one field per column of the query (typed by the column's declared
// type) and appends every row.
void copyRowsInto(db::Rows& rows, db::DataSet& target);

// The rows of a client dataset as the update ledger takes them.
ReceivedRows receivedRowsOf(db::DataSet& dataSet);

}  // namespace download
