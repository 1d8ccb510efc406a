#include "download/ledger/controlled_tables.h"

#include <vector>

namespace download {
namespace {

// The order their request dates are read in.
constexpr std::string_view kReadOrder[] = {"ITEMPRECO",       "ITMENUCONFTE", "CONSUMIDOR",
                                           "PRODUTO",         "EXTRATOCONS",  "MOVICLIE",
                                           "MOVBENEFICIOCTR", "ROTFABLOCAL",  "ROTFABRICA",
                                           "ITEMPRECODIA",    "ITEMPRECOGER", "ITEMPRECODIAGER"};

}  // namespace

std::span<const ControlledTable> controlledTables() {
  static const std::vector<ControlledTable> tables = [] {
    std::vector<ControlledTable> controlled;
    for (std::string_view name : kReadOrder) {
      const CatalogueTable& entry = catalogueTable(name);
      controlled.push_back({.name = entry.table,
                            .emptyMeansUncontrolled = entry.control.value().emptyMeansUncontrolled,
                            .position = entry.requestSlot.value(),
                            .rule = entry.control->rule,
                            .indicatorWhenMissing = entry.control->indicatorWhenMissing});
    }
    return controlled;
  }();
  return tables;
}

}  // namespace download
