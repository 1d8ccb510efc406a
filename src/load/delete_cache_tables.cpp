#include "load/delete_cache_tables.h"

#include "download/table_catalogue.h"

namespace load {
namespace {

// The order the delete cache walks its tables.
constexpr std::string_view kWalkOrder[] = {"ITEMPRECO",
                                           "ITMENUCONFTE",
                                           "PRODOCORRE",
                                           "PRODLOJA",
                                           "PRODUTO",
                                           "ALIQIMPFIS",
                                           "CLIENTE",
                                           "CLIENFILIAL",
                                           "CDBARRAPROD",
                                           "OPERADOR",
                                           "TABEPREC",
                                           "FAMSALDOFILI",
                                           "FAMSALDOPROD",
                                           "OPERGRUPOP",
                                           "SALA",
                                           "ENDEFILI",
                                           "FILIOPER",
                                           "GRUPPROD",
                                           "GRUPOCOR",
                                           "IMPRESSORA",
                                           "IMPRESSOOPER",
                                           "SERVICO",
                                           "FAMILIASALDO",
                                           "PARAMGERAL",
                                           "TIPOCONSCLI",
                                           "FILIAL",
                                           "VENDEDOR",
                                           "CAIXA",
                                           "OCORRENCIA",
                                           "LOJA",
                                           "CONFTELA",
                                           "FERIFILI",
                                           "IMPOSTO",
                                           "GRUPOPER",
                                           "PARAVEND",
                                           "ROTFABRICA",
                                           "TIPOCONS",
                                           "UNIDMEDIDA",
                                           "TIPORECE",
                                           "ITEMPRECODIA",
                                           "AUTGRUPOP",
                                           "COMANDAKIV",
                                           "PRODRALIMENT",
                                           "ROTFABLOCAL",
                                           "RALIMENT",
                                           "MOVINDICE",
                                           "PRODSERVTCON",
                                           "TABEVEND",
                                           "PRODTURCAIXA",
                                           "MUNICIPIO",
                                           "ESTADO",
                                           "PAIS",
                                           "INSCRESTAD",
                                           "REGIAOMUNI",
                                           "BAIRRO",
                                           "MESA",
                                           "EMPRESA",
                                           "PRSUBGRPROD",
                                           "SERVTURCAIXA",
                                           "PRODMODFILI",
                                           "SETORPRODUTO",
                                           "GRUPROMOCPRFIL",
                                           "PRODGRUPROMOC",
                                           "GRUPROMOCPROD",
                                           "GRUPROMOC",
                                           "DESGRUPROMOCPR",
                                           "DESGRUPROMPRFIL",
                                           "CONSUMIDOR",
                                           "COLLAYOUTIMP",
                                           "CONSUMIFILIAL",
                                           "MAPIMPRLOJA",
                                           "IMPRLOJA",
                                           "CEP",
                                           "FILIALCEP",
                                           "MOVPONTOCONS",
                                           "VOUCHERVND",
                                           "SETORPRODUTOFIL",
                                           "SETORPRODOBS",
                                           "SETORPRODINTER",
                                           "ARQUIVOS",
                                           "MOVBENEFICIOCTR",
                                           "SETORFILIAL",
                                           "SETORLOJA",
                                           "TIPOCONSLOJA",
                                           "KDSMENSAGEM",
                                           "KDSMSGDIAS",
                                           "SETORFILIALMSG",
                                           "PRODOBRIGOCOR",
                                           "GRUPOBRIGOCOR",
                                           "BASECALC",
                                           "BASECALCTPOPER",
                                           "PRODSUBSIFILI",
                                           "PRODEXTERNO",
                                           "TABEPRECGER",
                                           "TABEVENDGER",
                                           "ITEMPRECOGER",
                                           "ITEMPRECODIAGER",
                                           "FILITABGER",
                                           "LINHAPROD",
                                           "LINHAPRODSETOR",
                                           "SORTORDERSBYORG",
                                           "ENDECONS",
                                           "REDPEDMODALIDADE",
                                           "CONFTELAINICARD"};

}  // namespace

std::span<const DeleteCacheTable> deleteCacheTables() {
  static const std::vector<DeleteCacheTable> tables = [] {
    std::vector<DeleteCacheTable> walk;
    for (std::string_view name : kWalkOrder) {
      const download::CatalogueTable& entry = download::catalogueTable(name);
      walk.push_back({.table = entry.table,
                      .dataset = entry.cacheDataset,
                      .keys = entry.deleteCacheKeys(),
                      .comparedColumn = entry.updateColumn,
                      .stamp = entry.cacheStamps,
                      .ledger = entry.cacheLedger});
    }
    return walk;
  }();
  return tables;
}

namespace {

struct ConvertedKey {
  std::string_view table;
  std::string_view column;
  std::string_view expression;
};

constexpr std::array<ConvertedKey, 6> kConvertedKeys{{
    {"ITEMPRECO", "DTINIVGPREC", "CONVERT(VARCHAR,DTINIVGPREC,103)"},
    {"ITEMPRECOGER", "DTINIVGPREC", "CONVERT(VARCHAR,DTINIVGPREC,103)"},
    {"MOVINDICE", "DTREFIND", "CONVERT(VARCHAR,DTREFIND,103)"},
    {"FERIFILI", "DTFERIFILI", "CONVERT(VARCHAR,DTFERIFILI,120)"},
    {"TABEVEND", "DTINIVGPREC", "CONVERT(VARCHAR,DTINIVGPREC,120)"},
    {"TABEVENDGER", "DTINIVGPREC", "CONVERT(VARCHAR,DTINIVGPREC,120)"},
}};

}  // namespace

std::string_view keyExpression(std::string_view table, std::string_view column) {
  for (const auto& key : kConvertedKeys)
    if (key.table == table && key.column == column) return key.expression;
  return column;
}

}  // namespace load
