#include "load/delete_cache.h"

#include <exception>
#include <string>

#include "download/control_ledger.h"
#include "download/date_columns.h"
#include "download/identifier.h"
#include "fault/fault.h"
#include "load/delete_cache_key.h"
#include "load/delete_cache_statements.h"

namespace load {
namespace {

constexpr std::string_view kCacheConsumers = "cdsCacheCons";
constexpr std::string_view kProdutoSegImage = "DELCACHEPRODUTOSEG";

std::string parameterOf(std::string_view column) { return "P_" + std::string(column); }

// " WHERE A = :P_A AND CONVERT(VARCHAR,B,103) = :P_B ..."
std::string keyConditions(const DeleteCacheTable& table) {
  std::string text = " WHERE ";
  for (size_t i = 0; i < table.keys.size(); ++i) {
    if (i > 0) text += " AND ";
    text += std::string(keyExpression(table.table, download::requireIdentifier(table.keys[i]))) +
            " = :" + parameterOf(table.keys[i]);
  }
  return text;
}

// The deletes of a table pass are grouped into transactions of kRowsPerCommit cache rows for
// speed; a pass interrupted by an error keeps the deletes it already executed, as if each had
// committed on its own (the destructor commits them). A transaction the caller opened is left to
// the caller.
class PassTransaction {
 public:
  explicit PassTransaction(db::Connection& conn) : conn_(conn), own_(!conn.inTransaction()) {
    if (own_) conn_.begin();
  }
  ~PassTransaction() {
    if (!own_ || !conn_.inTransaction()) return;
    try {
      conn_.commit();
    } catch (...) {
      // Nothing can be kept when even the commit fails; the table's guard reports the pass's
      // own error, and a broken connection fails the next statement loudly.
      try {
        conn_.rollback();
      } catch (...) {
      }
    }
  }
  PassTransaction(const PassTransaction&) = delete;
  PassTransaction& operator=(const PassTransaction&) = delete;

  // Commits the pass; a failing commit raises to the table's guard.
  void finish() {
    if (own_) conn_.commit();
  }
  void checkpoint() {
    if (!own_) return;
    conn_.commit();
    conn_.begin();
  }

 private:
  db::Connection& conn_;
  bool own_;
};

}  // namespace

void DeleteCache::runDeleteCache(const std::string& branch, const std::string& cashRegister,
                                 bool process) {
  s_.log("INICIO DELETE CACHE", "1");
  if (process) {
    for (const DeleteCacheTable& table : deleteCacheTables()) {
      try {
        processTable(table, branch, cashRegister);
      } catch (const std::exception& e) {
        s_.log("ERRO Except: " + std::string(e.what()), "2");
      }
      if (table.table == kProdutoSegFollows) processProdutoSeg(branch);
      fault::reach("deletecache.table");
    }
    for (const DeleteCacheTable& table : deleteCacheTables()) emptyDataset(table.dataset);
  }
  emptyDataset(kCacheConsumers);
  s_.log("FIM DELETE CACHE", "1");
}

void DeleteCache::emptyCacheImagesOf(const std::vector<std::string>& tables) {
  for (const std::string& name : tables)
    for (const DeleteCacheTable& table : deleteCacheTables())
      if (table.table == name) emptyDataset(table.dataset);
}

void DeleteCache::processTable(const DeleteCacheTable& table, const std::string& branch,
                               const std::string& cashRegister) {
  db::DateTime greatest;
  db::DataSet* cache = state_.findDataset(table.dataset);
  if (cache != nullptr && cache->active() && !cache->isEmpty())
    greatest = applyCacheRows(table, *cache);

  if (table.stamp && greatest > db::DateTime()) {
    download::DateColumns(local_).avancaDataTabela(table.table, table.comparedColumn, greatest);
    if (table.ledger) {
      // Only the register's screen menu is recorded per register.
      const std::string ledgerRegister = table.table == "ITMENUCONFTE" ? cashRegister : "";
      download::gravaCtrlBaixaTab(local_, branch, table.table, ledgerRegister, greatest);
    }
  }
  s_.log("FIM DELETE CACHE " + std::string(table.table), "1");
}

db::DateTime DeleteCache::applyCacheRows(const DeleteCacheTable& table, db::DataSet& cache) {
  const std::string name(download::requireIdentifier(table.table));
  const std::string compared(download::requireIdentifier(table.comparedColumn));
  const std::string conditions = keyConditions(table);
  db::Field keyText = cache.fieldByName("DSKEYCACHE");
  db::Field deletedAt = cache.fieldByName("DTULTATUCACH");

  auto& probe = local_.prepare(std::string(delete_cache_sql::kProbePrefix) + name);
  auto& select = local_.prepare(std::string(delete_cache_sql::kSelectComparedPrefix) + compared +
                                " FROM " + name + conditions);
  auto& remove = local_.prepare(std::string(delete_cache_sql::kDeletePrefix) + name + conditions);

  PassTransaction transaction(local_);
  db::DateTime greatest;
  size_t sinceCommit = 0;
  for (cache.first(); !cache.eof(); cache.next()) {
    // A table emptied meanwhile has nothing more to lose.
    if (!probe.query()->next()) break;

    const std::string key = keyText.asString();
    for (std::string_view column : table.keys) {
      const std::string value = cacheKeyValue(key, column);
      select.bind(parameterOf(column), value);
      remove.bind(parameterOf(column), value);
    }
    bool exists = false;
    db::DateTime localUpdate;
    {
      auto rows = select.query();
      if (rows->next()) {
        exists = true;
        localUpdate = rows->at(0).asDateTime();
      }
    }
    const db::DateTime deletion = deletedAt.asDateTime();
    // A row changed centrally after its deletion was re-created there: it stays.
    if (exists && deletion > localUpdate) remove.execute();
    if (deletion > greatest) greatest = deletion;

    if (++sinceCommit == kRowsPerCommit) {
      transaction.checkpoint();
      sinceCommit = 0;
    }
  }
  transaction.finish();
  return greatest;
}

void DeleteCache::processProdutoSeg(const std::string& branch) {
  constexpr std::string_view kStart = "DELETE CACHE PRODUTOSEG (Download)...";
  s_.log(kStart, "3");
  try {
    auto& segment = local_.prepare(delete_cache_sql::kSelSegmentoFilial);
    segment.bind("P_CDFILIAL", branch);
    std::string cdSegMer;
    {
      auto rows = segment.query();
      if (rows->next()) cdSegMer = rows->at(0).asText();
    }
    if (cdSegMer.empty()) {
      s_.log("Filial não usa segmento de mercado, DELETECACHE da PRODUTOSEG ignorada...", "3");
      return;
    }
    s_.log(kStart, "3");
    loadProdutoSegImage_();
    download::DateColumns(local_).avancaDataPelaCache(kProdutoSegImage, "PRODUTOSEG",
                                                      "DTULTATUPSEG");
    s_.log("FIM DELETE CACHE PRODUTOSEG", "1");
  } catch (const std::exception& e) {
    s_.log("ERRO Except: " + std::string(e.what()), "2");
  }
}

void DeleteCache::emptyDataset(std::string_view name) {
  db::DataSet* dataset = state_.findDataset(name);
  if (dataset != nullptr && dataset->active()) dataset->emptyDataSet();
}

}  // namespace load
