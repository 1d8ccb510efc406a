#include "load/merge_tables.h"

#include <stdexcept>
#include <string>

namespace load {

const std::vector<MergeTable>& mergeTables() {
  static const std::vector<MergeTable> tables = [] {
    std::vector<MergeTable> members;
    for (const download::CatalogueTable& entry : download::tableCatalogue()) {
      if (!entry.hasMerge()) continue;
      members.push_back({.table = entry.table,
                         .dataset = entry.dataset,
                         .query = entry.mergeQuery,
                         .keys = entry.keys,
                         .variants = entry.mergeVariants,
                         .dateColumn = (entry.mergeVariants & kLedger) ? entry.updateColumn
                                                                       : std::string_view()});
    }
    return members;
  }();
  return tables;
}

const MergeTable& mergeTable(std::string_view table) {
  for (const auto& member : mergeTables()) {
    if (member.table == table) return member;
  }
  throw std::out_of_range("no keyed merge for table " + std::string(table));
}

const std::vector<std::string_view>& productColumns() {
  static const std::vector<std::string_view> columns = {
      "CDPRODUTO",       "NMPRODIMPFIS",    "NMPRODUTO",      "CDARVPROD",       "IDPESAPROD",
      "QTTARAPROD",      "SGUNIDADE",       "IDTIPOCOMPPROD", "IDIMPPRODUTO",    "DTINIVGPROMOC",
      "DTFINVGPROMOC",   "CDBARPRODUTO",    "CDPRODINTE",     "CDPROTECLADO",    "IDORIGPRODPR",
      "IDIMPRODUVEZ",    "IDTIPOPROD",      "IDPRODATIVPR",   "CDNVPRODUTO",     "CDCLASFISC",
      "IDCOBTXSERV",     "IDSOLLOCIMP",     "DTULTATUPROD",   "IDCONTROLAREFIL", "CDCEST",
      "IDTPPRODDEBCONS", "VRMINCONSUMODEB", "DSPRODVENDA",    "DSADICPROD",      "NMPRODVENDA",
      "CDCBENEF",        "NMPRODINGLES",    "NMPRODESPANH",   "IDIMPQRCODECAT",  "DSAPELIDOKDS",
      "QTMAXOBSERV",     "DSCOMPLNOME",     "DSPRODVENDES",   "DSPRODVENDEN",    "IDREFQRCODECAT",
      "CDREGRAFISPDV",   "DSENDEIMG"};
  return columns;
}

}  // namespace load
