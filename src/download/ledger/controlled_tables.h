#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace download {

// How a controlled table's control row becomes its request dates.
enum class RequestRule {
  Standard,          // dataPedido of the control row
  ScreenMenu,        // ITMENUCONFTE: the register's row against its associated registers' items
  Consumer,          // CONSUMIDOR: whole base or a 90-day catch-up when uncontrolled
  ExtractFiveDays,   // EXTRATOCONS: five days before the recorded date, 60-day floor
  CustomerMovement,  // MOVICLIE: 60-day floor, then PARAVEND.NRDIASVERMOVCLI further back
};

// One of the twelve tables whose download is controlled by CTRLBAIXATAB.
struct ControlledTable {
  std::string_view name;
  // Column whose newest downloaded value is recorded as the table's DTULTATUTAB.
  std::string_view dateColumn;
  // An empty local table counts as uncontrolled (EXISTS guard in the request query).
  bool emptyMeansUncontrolled;
  int position;  // slot in vDatasControle / vDatasBase
  RequestRule rule;
  // Indicator of vIndicadores set to "S" when the table has no control row, "N" otherwise.
  std::optional<int> indicatorWhenMissing;
};

// In the order their request dates are read.
std::span<const ControlledTable> controlledTables();
// Nothing when the name is not one of the twelve (compared ignoring case).
const ControlledTable* findControlledTable(std::string_view name);

}  // namespace download
