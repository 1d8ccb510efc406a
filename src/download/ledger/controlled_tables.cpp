#include "download/ledger/controlled_tables.h"

#include <array>

#include "db/core/text.h"

namespace download {
namespace {

using R = RequestRule;
constexpr std::array<ControlledTable, 12> kTables{{
    {"ITEMPRECO", "DTULTATUITPR", true, 0, R::Standard, std::nullopt},
    {"ITMENUCONFTE", "DTULTATUITCT", true, 1, R::ScreenMenu, std::nullopt},
    {"CONSUMIDOR", "DTULTATUCSUM", false, 4, R::Consumer, std::nullopt},
    {"PRODUTO", "DTULTATUPROD", true, 5, R::Standard, std::nullopt},
    {"EXTRATOCONS", "DTULTATUEXT", true, 11, R::ExtractFiveDays, std::nullopt},
    {"MOVICLIE", "DTULTATUMCLI", false, 12, R::CustomerMovement, std::nullopt},
    {"MOVBENEFICIOCTR", "DTULTATU", false, 88, R::Standard, 1},
    {"ROTFABLOCAL", "DTULTATURTFL", true, 20, R::Standard, 5},
    {"ROTFABRICA", "DTULTATURTFA", true, 51, R::Standard, 4},
    {"ITEMPRECODIA", "DTULTATUITPD", true, 55, R::Standard, std::nullopt},
    {"ITEMPRECOGER", "DTULTATU", true, 109, R::Standard, std::nullopt},
    {"ITEMPRECODIAGER", "DTULTATU", true, 111, R::Standard, std::nullopt},
}};

}  // namespace

std::span<const ControlledTable> controlledTables() { return kTables; }

const ControlledTable* findControlledTable(std::string_view name) {
  for (const auto& table : kTables)
    if (db::iequals(table.name, name)) return &table;
  return nullptr;
}

}  // namespace download
