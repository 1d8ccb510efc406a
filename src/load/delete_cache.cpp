#include "load/delete_cache.h"

#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "download/identifier.h"
#include "download/ledger/control_ledger.h"
#include "download/ledger/date_columns.h"
#include "fault/fault.h"
#include "load/delete_cache_key.h"
#include "load/delete_cache_statements.h"
#include "load/load_sql.h"

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
// speed, yet a pass interrupted by an error keeps every delete it executed, as if each had
// committed on its own. SQL Server rolls the whole open transaction back on a batch-aborting
// error (a conversion error), so the deletes since the last commit are remembered and, after an
// error, executed again in a transaction of their own. A transaction the caller opened is left
// to the caller.
class DeleteBatch {
 public:
  DeleteBatch(db::Connection& conn, db::Statement& remove, const DeleteCacheTable& table)
      : conn_(conn), remove_(remove), table_(table), own_(!conn.inTransaction()) {
    if (own_) conn_.begin();
  }
  DeleteBatch(const DeleteBatch&) = delete;
  DeleteBatch& operator=(const DeleteBatch&) = delete;

  // Deletes the row whose key values are bound to the statement.
  void remove(std::vector<std::string> keyValues) {
    remove_.execute();
    if (own_) executed_.push_back(std::move(keyValues));
  }
  void commit() {
    if (!own_) return;
    conn_.commit();
    executed_.clear();
  }
  void checkpoint() {
    if (!own_) return;
    commit();
    conn_.begin();
  }

  // After an error: whatever the engine did with the open transaction, the deletes executed
  // since the last commit are committed. The pass's own error is the one reported, so a
  // failure here is dropped (a broken connection fails the next statement loudly).
  void keepExecuted() noexcept {
    if (!own_) return;
    try {
      if (conn_.inTransaction()) conn_.rollback();
      conn_.begin();
      for (const auto& keyValues : executed_) {
        for (size_t i = 0; i < keyValues.size(); ++i)
          remove_.bind(parameterOf(table_.keys[i]), keyValues[i]);
        remove_.execute();
      }
      conn_.commit();
    } catch (...) {
      try {
        if (conn_.inTransaction()) conn_.rollback();
      } catch (...) {
      }
    }
    executed_.clear();
  }

 private:
  db::Connection& conn_;
  db::Statement& remove_;
  const DeleteCacheTable& table_;
  bool own_;
  std::vector<std::vector<std::string>> executed_;
};

std::vector<std::string> cacheKeyValues(const DeleteCacheTable& table, const std::string& key) {
  std::vector<std::string> values;
  values.reserve(table.keys.size());
  for (std::string_view column : table.keys) values.push_back(cacheKeyValue(key, column));
  return values;
}

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

  auto& probe = local_.prepare(std::string(sql::kProbePrefix) + name);
  auto& select = local_.prepare(std::string(delete_cache_sql::kSelectComparedPrefix) + compared +
                                " FROM " + name + conditions);
  auto& remove = local_.prepare(std::string(delete_cache_sql::kDeletePrefix) + name + conditions);

  DeleteBatch batch(local_, remove, table);
  db::DateTime greatest;
  size_t sinceCommit = 0;
  try {
    for (cache.first(); !cache.eof(); cache.next()) {
      // A table emptied meanwhile has nothing more to lose.
      if (!probe.query()->next()) break;

      std::vector<std::string> keyValues;
      try {
        keyValues = cacheKeyValues(table, keyText.asString());
      } catch (const std::invalid_argument& e) {
        // One malformed key names no row; the rows after it are still applied.
        s_.log("DELETE CACHE " + name + " - linha ignorada: " + e.what(), "2");
        continue;
      }
      for (size_t i = 0; i < keyValues.size(); ++i) {
        select.bind(parameterOf(table.keys[i]), keyValues[i]);
        remove.bind(parameterOf(table.keys[i]), keyValues[i]);
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
      if (exists && deletion > localUpdate) batch.remove(std::move(keyValues));
      if (deletion > greatest) greatest = deletion;

      if (++sinceCommit == kRowsPerCommit) {
        batch.checkpoint();
        sinceCommit = 0;
      }
    }
    batch.commit();
  } catch (const std::exception&) {
    batch.keepExecuted();
    throw;
  }
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
