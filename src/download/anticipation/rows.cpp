#include "download/anticipation/rows.h"

#include <vector>

namespace download {

ReceivedRows receivedRowsOf(db::DataSet& dataSet) {
  ReceivedRows received;
  for (const auto& def : dataSet.fieldDefs()) received.fields.push_back(def.name);
  for (dataSet.first(); !dataSet.eof(); dataSet.next()) {
    std::vector<db::Value> row;
    for (size_t i = 0; i < dataSet.fieldCount(); ++i) row.push_back(dataSet.field(i).value());
    received.rows.push_back(std::move(row));
  }
  dataSet.first();
  return received;
}

}  // namespace download
