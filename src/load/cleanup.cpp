#include "load/cleanup.h"

#include <string>
#include <vector>

#include "load/cleanup_statements.h"

namespace load {
namespace {

std::vector<std::string> firstColumn(db::Connection& conn, std::string_view sql,
                                     const db::Params& params = {}) {
  auto& select = conn.prepare(sql);
  select.bind(params);
  auto rows = select.query();
  std::vector<std::string> values;
  while (rows->next()) values.push_back(rows->at(0).asText());
  return values;
}

}  // namespace

void PostLoadCleanup::ApagaRotFabricaVencida() {
  local_.execute(cleanup_sql::kDelRotFabrica);
  local_.execute(cleanup_sql::kDelRotFabLocal);
}

void PostLoadCleanup::ApagaGruPromocVencido() {
  // Discounts go before their groups: the EXISTS tests need the expired groups still present.
  local_.execute(cleanup_sql::kDelDesGruPromocPr);
  local_.execute(cleanup_sql::kDelGruPromocProd);
  local_.execute(cleanup_sql::kDelDesGruPromPrFil);
  local_.execute(cleanup_sql::kDelGruPromocPrFil);
}

void PostLoadCleanup::InativaOperadores() {
  // Read every code before writing, so the update never runs under the open query.
  const std::vector<std::string> operators =
      firstColumn(local_, cleanup_sql::kSelOperadorSemFilial);
  auto& deactivate = local_.prepare(cleanup_sql::kUpdOperadorInativo);
  for (const auto& code : operators) {
    deactivate.bind("P_CDOPERADOR", code);
    deactivate.execute();
  }
}

void PostLoadCleanup::ApagaProdutosInativosFilial() {
  s_.processMessages();
  const bool ownTransaction = !local_.inTransaction();
  if (ownTransaction) local_.begin();
  try {
    const std::vector<std::string> products = firstColumn(local_, cleanup_sql::kSelProdFili);
    s_.log("ApagaProdutosInativosFilial", "3");
    auto& byPromotion = local_.prepare(cleanup_sql::kDelItComandaPromocao);
    auto& byProduct = local_.prepare(cleanup_sql::kDelItComandaProduto);
    auto& product = local_.prepare(cleanup_sql::kDelProduto);
    for (const auto& code : products) {
      byPromotion.bind("P_CDPRODUTO", code);
      byPromotion.execute();
      s_.log("ApagaProdutosInativosFilial - CDPRODPROMOCAO: " + code, "3");
      byProduct.bind("P_CDPRODUTO", code);
      byProduct.execute();
      s_.log("ApagaProdutosInativosFilial - CDPRODUTO: " + code, "3");
      product.bind("P_CDPRODUTO", code);
      product.execute();
      s_.log("ApagaProdutosInativosFilial - PRODUTO: " + code, "3");
    }
    if (ownTransaction) local_.commit();
  } catch (...) {
    if (local_.inTransaction()) local_.rollback();
    throw;
  }
}

void PostLoadCleanup::cleanGeneralPriceTables() {
  const std::vector<std::string> unlinked =
      firstColumn(local_, cleanup_sql::kSelTabePrecGerSemFilial, {{"P_CDFILIAL", branch_}});
  for (const auto& code : unlinked) {
    s_.log("Apagando dados antigos da tabela de preços geral " + code + ".", "3");
    // Children first, so no item is left pointing at a removed validity or table.
    for (std::string_view statement :
         {cleanup_sql::kDelItemPrecoDiaGer, cleanup_sql::kDelItemPrecoGer,
          cleanup_sql::kDelTabeVendGer, cleanup_sql::kDelTabePrecGer}) {
      auto& remove = local_.prepare(statement);
      remove.bind("P_CDTABEPREC", code);
      remove.execute();
    }
    s_.log("Dados apagados!", "3");
  }
}

}  // namespace load
