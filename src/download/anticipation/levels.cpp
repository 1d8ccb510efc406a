#include "download/anticipation/levels.h"

#include <array>
#include <stdexcept>
#include <string>

#include "db/core/text.h"
#include "download/anticipation/hierarchies.h"

namespace download {
namespace {

constexpr AnticipatedPacket kFiliTabGer{"FILITABGER", "cdsFiliTabGer", "FILITABGER"};
constexpr AnticipatedPacket kTabePrecGer{"TABEPRECGER", "cdsTABEPRECGER", "TABEPRECGER"};
constexpr AnticipatedPacket kTabeVendGer{"TABEVENDGER", "cdsTabeVendGer", "TABEVEND"};
constexpr AnticipatedPacket kItemPrecoGer{"ITEMPRECOGER", "cdsItemPrecoGer", "ITEMPRECOGER"};
constexpr AnticipatedPacket kItemPrecoDiaGer{"ITEMPRECODIAGER", "cdsItemPrecoDiaGer",
                                             "ITEMPRECODIAGER"};
constexpr AnticipatedPacket kProduto{"PRODUTO", "cdsProduto", "PRODUTO"};
constexpr AnticipatedPacket kProdutoSeg{"PRODUTOSEG", "cdsProdutoSeg", "PRODUTOSEG"};
constexpr AnticipatedPacket kConfTela{"CONFTELA", "cdsConfTela", "CONFTELA"};
constexpr AnticipatedPacket kItMenuConfTe{"ITMENUCONFTE", "cdsItMenuConfTe", "ITMENUCONFTE"};

using enum LevelArgument;

}  // namespace

std::span<const AnticipatedLevel> anticipatedLevels(std::string_view group) {
  static const std::vector<AnticipatedLevel> preco{
      {kGroupPreco,
       "FILITABGER",
       LedgerKey,
       {kFiliTabGer, kTabePrecGer, kTabeVendGer, kItemPrecoGer, kItemPrecoDiaGer, kProduto,
        kProdutoSeg}},
      {kGroupPreco,
       "TABEPRECGER",
       LedgerKey,
       {kTabePrecGer, kTabeVendGer, kItemPrecoGer, kItemPrecoDiaGer, kProduto, kProdutoSeg}},
      {kGroupPreco,
       "TABEVENDGER",
       LedgerKey,
       {kTabeVendGer, kItemPrecoGer, kItemPrecoDiaGer, kProduto, kProdutoSeg}},
      {kGroupPreco,
       "ITEMPRECOGER",
       LedgerPacket,
       {kItemPrecoGer, kItemPrecoDiaGer, kProduto, kProdutoSeg}},
      {kGroupPreco, "ITEMPRECODIAGER", LedgerPacket, {kItemPrecoDiaGer, kProduto, kProdutoSeg}},
  };
  static const std::vector<AnticipatedLevel> leiaute{
      {kGroupLeiaute, "CONFTELA", LedgerPacket, {kConfTela, kItMenuConfTe, kProduto, kProdutoSeg}},
      {kGroupLeiaute, "ITMENUCONFTE", LedgerPacket, {kItMenuConfTe, kProduto, kProdutoSeg}},
  };
  if (db::iequals(group, kGroupPreco)) return preco;
  if (db::iequals(group, kGroupLeiaute)) return leiaute;
  throw std::invalid_argument("unknown hierarchy group \"" + std::string(group) + "\"");
}

std::span<const std::string_view> priceTablesNarrowedByKey() {
  static constexpr std::array<std::string_view, 5> tables{
      "ITEMPRECODIAGER", "ITEMPRECOGER", "TABEVENDGER", "TABEPRECGER", "FILITABGER"};
  return tables;
}

}  // namespace download
