#pragma once

#include "db/dataset/dataset.h"
#include "download/ledger/update_ledger.h"

namespace download {

// The rows of a client dataset as the update ledger takes them.
ReceivedRows receivedRowsOf(db::DataSet& dataSet);

}  // namespace download
