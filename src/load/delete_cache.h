#pragma once

#include <functional>
#include <string>
#include <vector>

#include "db/core/connection.h"
#include "download/download_state.h"
#include "download/later_stages.h"
#include "download/services.h"
#include "load/delete_cache_tables.h"

namespace load {

// Removes from the local tables the rows the central side deleted after their last local update,
// as recorded in the cache client datasets (cdsCache...), then empties those datasets.
class DeleteCache : public download::DeleteCacheStage {
 public:
  // loadProdutoSegImage fills DELCACHEPRODUTOSEG and applies its deletions (the server-built
  // delete-cache file); it reports its own failures and does not raise.
  DeleteCache(db::Connection& local, const download::Services& services,
              download::DownloadState& state, std::function<void()> loadProdutoSegImage)
      : local_(local),
        s_(services),
        state_(state),
        loadProdutoSegImage_(std::move(loadProdutoSegImage)) {}

  // With process false only cdsCacheCons is emptied. Each table runs under its own guard: a
  // failure is logged ("ERRO Except: ...") and the next table follows; nothing is raised.
  void runDeleteCache(const std::string& branch, const std::string& cashRegister,
                      bool process) override;
  void emptyCacheImagesOf(const std::vector<std::string>& tables) override;

  // Cache rows between commits while a table is walked.
  static constexpr size_t kRowsPerCommit = 5000;

 private:
  void processTable(const DeleteCacheTable& table, const std::string& branch,
                    const std::string& cashRegister);
  db::DateTime applyCacheRows(const DeleteCacheTable& table, db::DataSet& cache);
  void processProdutoSeg(const std::string& branch);
  void emptyDataset(std::string_view name);

  db::Connection& local_;
  const download::Services& s_;
  download::DownloadState& state_;
  std::function<void()> loadProdutoSegImage_;
};

}  // namespace load
