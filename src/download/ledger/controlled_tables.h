#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "download/table_catalogue.h"

namespace download {

// One of the twelve tables whose download is controlled by CTRLBAIXATAB.
struct ControlledTable {
  std::string_view name;
  // An empty local table counts as uncontrolled (EXISTS guard in the request query).
  bool emptyMeansUncontrolled;
  int position;  // slot in vDatasControle / vDatasBase
  RequestRule rule;
  // Indicator of vIndicadores set to "S" when the table has no control row, "N" otherwise.
  std::optional<int> indicatorWhenMissing;
};

// In the order their request dates are read.
std::span<const ControlledTable> controlledTables();

}  // namespace download
