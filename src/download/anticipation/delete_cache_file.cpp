#include "download/anticipation/delete_cache_file.h"

#include <exception>
#include <vector>

#include "db/core/text.h"
#include "download/anticipation/statements.h"
#include "download/anticipation/text.h"
#include "download/identifier.h"

namespace download {
namespace {

constexpr std::string_view kImage = "DELCACHEPRODUTOSEG";

// The column's declared type as the catalogue gives it; character types keep their length so
// the image holds the same keys the source does.
std::string columnType(db::Statement& tipoCol, std::string_view image, const std::string& column) {
  tipoCol.bind("P_NMTABELA", image);
  tipoCol.bind("P_NMCOLUNA", column);
  auto rows = tipoCol.query();
  if (!rows->next()) return {};
  std::string type = db::upper(rows->at(0).asText());
  const db::Value& length = rows->at(1);
  const bool characters =
      type == "VARCHAR" || type == "CHAR" || type == "NVARCHAR" || type == "NCHAR";
  if (characters && !length.isNull()) {
    const int64_t n = length.asInt();
    type += n < 0 ? "(MAX)" : "(" + std::to_string(n) + ")";
  }
  return type;
}

void executeIgnoringError(db::Connection& local, const std::string& sql) {
  try {
    local.execute(sql);
  } catch (const std::exception&) {
    // Expected on the first pass (no image to drop yet) and harmless otherwise: the image is
    // read back right after, and a missing one fails there with its own message.
  }
}

}  // namespace

void disponibilizaDelCache(db::Connection& local, std::string_view image, std::string_view source,
                           const Services& services) {
  const std::string imageName(requireIdentifier(image));
  const std::string sourceName(requireIdentifier(source));
  executeIgnoringError(local, std::string(anticipation_sql::kDropTablePrefix) + imageName);
  executeIgnoringError(local, fillStatement(anticipation_sql::kSelectInto,
                                            {{"IMAGE", imageName}, {"SOURCE", sourceName}}));
  executeIgnoringError(local,
                       fillStatement(anticipation_sql::kAddCacheDate, {{"IMAGE", imageName}}));

  std::vector<std::string> columns;
  {
    auto rows = local.query(std::string(anticipation_sql::kSelectAllPrefix) + imageName);
    for (const auto& column : rows->columns()) columns.push_back(column.name);
  }
  auto& tipoCol = local.prepare(anticipation_sql::kTipoCol);
  for (const std::string& column : columns) {
    try {
      const std::string type = columnType(tipoCol, imageName, column);
      local.execute(fillStatement(
          anticipation_sql::kAlterColumnNull,
          {{"IMAGE", imageName}, {"COLUMN", requireIdentifier(column)}, {"TYPE", type}}));
    } catch (const std::exception& e) {
      // One column that cannot be relaxed does not stop the others; the file's rows name only
      // the key columns and the deletion time.
      services.log("Coluna " + column + " de " + imageName + " mantida: " + e.what(), "3");
    }
  }
}

void ProdutoSegDeleteCacheFile::run(const std::string& branch, const std::string& cashRegister) {
  try {
    disponibilizaDelCache(local_, kImage, "PRODUTOSEG", s_);
    ServerFileRequest request;
    request.nmArquivo = "DELCACHEPRODUTOSEG.sql";
    request.tipoArquivo = "DELCACHEPRODUTOSEG";
    request.valores =
        db::ValueArray{db::Value(), db::Value(), vectors_.vDatasBase[kProdutoSegBaseSlot]};
    request.cdCaixa = cashRegister;
    request.cdFilial = branch;
    files_.baixaArquivoServidor(request);

    s_.log(kDashes, "3");
    const int64_t deleted = local_.execute(anticipation_sql::kDelProdutoSegByCache);
    s_.log("Linhas da PRODUTOSEG apagadas -> " + std::to_string(deleted), "3");
    s_.log(kDashes, "3");
  } catch (const std::exception& e) {
    s_.log("ERRO Except: " + std::string(e.what()), "2");
    // This routine must not raise: the delete cache goes on without the file.
    try {
      if (local_.inTransaction()) local_.rollback();
    } catch (const std::exception& rollbackError) {
      s_.log("ERRO Except: " + std::string(rollbackError.what()), "2");
    }
  }
}

}  // namespace download
