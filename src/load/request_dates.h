#pragma once

#include <string_view>
#include <vector>

#include "download/ledger/request_dates.h"
#include "load/load_context.h"

namespace load {

struct DateSlot {
  std::string_view table;
  std::string_view column;
};

// The 119 request slots: each a table and its update-time column.
const std::vector<DateSlot>& dateSlots();

// BuscaDtUltAtuTabelas: both request dates of every slot from the local table's row count and
// newest update time (CONFTELA restricted to the register's current screen configuration).
// Slots the control ledger decides are left alone. The first failure is logged and ends the
// reading; later slots keep their former values.
void BuscaDtUltAtuTabelas(LoadContext& context, download::RequestVectors& vectors);

}  // namespace load
