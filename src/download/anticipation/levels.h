#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace download {

// One packet a level of an anticipated hierarchy receives: the table, its client dataset and
// the name its count line uses.
struct AnticipatedPacket {
  std::string_view table;
  std::string_view dataset;
  std::string_view logName;
};

// How a level asks getDadosTabCtrl for its rows: by the DSCHAVE of the first ledger row, or by
// the whole ledger packet.
enum class LevelArgument { LedgerKey, LedgerPacket };

struct AnticipatedLevel {
  std::string_view group;  // "PRECO" or "LEIAUTE"
  std::string_view table;
  LevelArgument argument;
  // The level's table and every table below it, then PRODUTO and PRODUTOSEG, in position order.
  std::vector<AnticipatedPacket> packets;
};

// The levels of a group from the top ("PRECO": FILITABGER first; "LEIAUTE": CONFTELA first);
// std::invalid_argument for any other group.
std::span<const AnticipatedLevel> anticipatedLevels(std::string_view group);

// The general price tables that keep only the changed price table's rows after the top level,
// in deletion order.
std::span<const std::string_view> priceTablesNarrowedByKey();

// The top PRECO level, whose ledger key names the price table.
inline constexpr std::string_view kTopPriceLevel = "FILITABGER";
// Characters of the ledger key that name the price table.
inline constexpr size_t kPriceTableCodeLength = 3;

}  // namespace download
