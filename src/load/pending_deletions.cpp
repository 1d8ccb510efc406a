#include "load/pending_deletions.h"

#include <fstream>
#include <string>
#include <vector>

#include "download/anticipation/delete_cache_file.h"
#include "fault/fault.h"
#include "load/delete_cache_tables.h"
#include "platform/replace_file.h"

namespace load {
namespace fs = std::filesystem;
namespace {

// The images of a stopped run first: the delete cache keeps the greatest time per table either
// way, and an older deletion never removes a row changed after it.
void appendRows(db::DataSet& from, db::DataSet& to) {
  std::vector<db::Value> values(to.fieldCount());
  for (from.first(); !from.eof(); from.next()) {
    for (size_t i = 0; i < to.fieldCount(); ++i) {
      auto field = from.findField(to.field(i).name());
      values[i] = field ? field->value() : db::Value();
    }
    to.appendRecord(values);
  }
}

// PRODUTOSEG's deletions come as a file asked for from the table's request date, which the
// merges also move forward: the date of the run that first left them pending is the one to ask
// from.
void keepProdutoSegRequestDate(download::RequestVectors& vectors, const fs::path& directory) {
  db::Value& date = vectors.vDatasBase[download::kProdutoSegBaseSlot];
  const fs::path file = directory / "PRODUTOSEG.date";
  std::string text;
  std::ifstream(file) >> text;
  if (auto pending = db::DateTime::parse(text)) {
    if (date.kind() != db::Value::Kind::DateTime || *pending < date.asDateTime())
      date = db::Value(*pending);
    return;
  }
  if (date.kind() == db::Value::Kind::DateTime)
    platform::replaceFileInFolder(file, date.asDateTime().format("yyyy-mm-ddThh:nn:ss.zzz"));
}

}  // namespace

fs::path pendingDeletionsDirectory(const fs::path& stagingDirectory) {
  return stagingDirectory / "Pendentes";
}

void keepPendingDeletions(download::DownloadState& state, const fs::path& stagingDirectory) {
  const fs::path directory = pendingDeletionsDirectory(stagingDirectory);
  platform::createDirectories(directory);
  keepProdutoSegRequestDate(state.vectors, directory);
  for (const DeleteCacheTable& table : deleteCacheTables()) {
    const std::string name(table.dataset);
    const fs::path file = directory / (name + ".cds");
    db::DataSet* current = state.findDataset(name);
    if (fs::exists(file)) {
      db::DataSet pending(name);
      pending.loadFromFile(file);
      if (current != nullptr && current->active()) appendRows(*current, pending);
      state.dataset(name) = std::move(pending);
      current = state.findDataset(name);
    }
    if (current == nullptr || !current->active() || current->isEmpty()) continue;
    const db::Bytes packet = current->data();
    platform::replaceFileInFolder(
        file, std::string_view(reinterpret_cast<const char*>(packet.data()), packet.size()));
    fault::reach("load.pending");
  }
  // One sync for every file above: they are on disk before any merge moves a date forward.
  platform::syncFolder(directory);
}

void dropPendingDeletions(const fs::path& stagingDirectory) {
  fs::remove_all(pendingDeletionsDirectory(stagingDirectory));
}

}  // namespace load
