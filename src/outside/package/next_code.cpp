#include "outside/package/next_code.h"

namespace outside {
namespace {

// Sequence numbers may be stored as texts; comparing them as numbers keeps "10" above "9".
constexpr std::string_view kMaxMovClie =
    "SELECT MAX(CONVERT(BIGINT, NRSEQMOVCLI)) AS ULTIMO FROM MOVICLIE WHERE CDCLIENTE = "
    ":P_CDCLIENTE";
constexpr std::string_view kMaxMovCaixa =
    "SELECT MAX(CONVERT(BIGINT, NRSEQUMOVI)) AS ULTIMO FROM MOVCAIXA WHERE CDFILIAL = "
    ":P_CDFILIAL AND CDCAIXA = :P_CDCAIXA AND DTABERCAIX = :P_DTABERCAIX";
constexpr std::string_view kMaxVenda =
    "SELECT MAX(CONVERT(BIGINT, NRSEQVENDA)) AS ULTIMO FROM VENDA WHERE CDFILIAL = :P_CDFILIAL "
    "AND CDCAIXA = :P_CDCAIXA";

}  // namespace

int64_t KivProxCodigo::largest(std::string_view sql, const db::Params& params) {
  db::Statement& statement = connection_.prepare(sql);
  statement.bind(params);
  auto rows = statement.query();
  return rows->next() ? rows->at(0).asInt() : 0;
}

int64_t KivProxCodigo::PrxMovClie(std::string_view cdCliente, int64_t step, std::string_view) {
  return largest(kMaxMovClie, {{"P_CDCLIENTE", cdCliente}}) + step;
}

int64_t KivProxCodigo::PrxMovCaixa(std::string_view cdFilial, std::string_view cdCaixa,
                                   const db::DateTime& dtAberCaix) {
  return largest(kMaxMovCaixa,
                 {{"P_CDFILIAL", cdFilial}, {"P_CDCAIXA", cdCaixa}, {"P_DTABERCAIX", dtAberCaix}}) +
         1;
}

int64_t KivProxCodigo::PrxPedidoVenda(std::string_view cdFilial, std::string_view cdCaixa,
                                      std::string_view) {
  return largest(kMaxVenda, {{"P_CDFILIAL", cdFilial}, {"P_CDCAIXA", cdCaixa}}) + 1;
}

}  // namespace outside
