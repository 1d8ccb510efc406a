#pragma once

#include <string>
#include <string_view>

#include "db/core/connection.h"
#include "download/ledger/request_dates.h"
#include "download/services.h"
#include "download/statement_files/server_file_transfer.h"

namespace download {

// (Re)creates `image` as an empty copy of `source` whose columns all accept NULL, plus the
// deletion time DTULTATUCACH, for a server-built delete-cache file to fill.
void disponibilizaDelCache(db::Connection& local, std::string_view image, std::string_view source,
                           const Services& services);

// The vDatasBase slot of PRODUTOSEG: its deletions are asked for from that date.
constexpr size_t kProdutoSegBaseSlot = 10;

// The PRODUTOSEG deletions, too many for a client dataset: the server writes them as a statement
// file into DELCACHEPRODUTOSEG, and one set-based delete removes every local row deleted
// centrally after its last local update.
class ProdutoSegDeleteCacheFile {
 public:
  ProdutoSegDeleteCacheFile(db::Connection& local, ServerFileTransfer& files,
                            const Services& services, const RequestVectors& vectors)
      : local_(local), files_(files), s_(services), vectors_(vectors) {}

  // Never raises: a failure rolls back an open transaction and is logged ("ERRO Except: ...").
  void run(const std::string& branch, const std::string& cashRegister);

 private:
  db::Connection& local_;
  ServerFileTransfer& files_;
  const Services& s_;
  const RequestVectors& vectors_;
};

}  // namespace download
