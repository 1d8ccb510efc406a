#pragma once

#include <string>

#include "db/dataset/dataset.h"

namespace cds {

// The JSON dump: {"fields":[{"name","type","size"}],"rows":[{field: value}]}, fields and rows
// in file order. Floats are printed to 15 significant digits, the precision of XML packets,
// so that a binary file and its XML twin dump to the same text.
std::string renderJson(db::DataSet& dataSet);
// Comma-separated values with a header line; nested datasets as their JSON rows.
std::string renderCsv(db::DataSet& dataSet);

}  // namespace cds
