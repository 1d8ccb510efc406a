#pragma once

#include <cstdint>
#include <string_view>

#include "db/core/connection.h"
#include "db/core/value.h"

namespace outside {

// The next-code module: the next sequence number of a client's account movements, a register's
// cash movements and a register's sales, one above the largest number already in the local
// table (so numbers handed out inside the caller's open transaction are seen). `origin` marks
// who asks ("SRV" for the download) and does not change the number.
class KivProxCodigo {
 public:
  explicit KivProxCodigo(db::Connection& connection) : connection_(connection) {}

  // Next NRSEQMOVCLI of MOVICLIE for the client; `step` (1 for the download) is added to the
  // largest one.
  int64_t PrxMovClie(std::string_view cdCliente, int64_t step, std::string_view origin);
  // Next NRSEQUMOVI of MOVCAIXA for the register's opening of the till.
  int64_t PrxMovCaixa(std::string_view cdFilial, std::string_view cdCaixa,
                      const db::DateTime& dtAberCaix);
  // Next NRSEQVENDA of VENDA for the register.
  int64_t PrxPedidoVenda(std::string_view cdFilial, std::string_view cdCaixa,
                         std::string_view origin);

 private:
  int64_t largest(std::string_view sql, const db::Params& params);

  db::Connection& connection_;
};

}  // namespace outside
