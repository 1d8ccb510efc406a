#pragma once

#include <memory>
#include <string>

#include "download/later_stages.h"
#include "load/bulk_writer.h"
#include "load/consumer_block.h"
#include "load/keyed_merge.h"
#include "load/load_context.h"
#include "load/load_ports.h"
#include "load/table_sequence.h"
#include "outside/package/next_code.h"

namespace load {

// What the driver reaches besides the local connection.
struct LoadParts {
  download::KeepAlive& keepAlive;
  outside::AppServer& server;  // netProcedimentos
  ServerFiles& files;
  CentralMirror& mirror;
  download::CleanupStage& cleanup;
  download::DeleteCacheStage& deleteCache;
};

// The local load (ChamaInsereMSDE): stages the downloaded datasets, wipes the local tables when
// the full-reload order file is present, runs the table sequence, the consumer block, the delete
// cache and the post-load cleanups, and re-imports the register's own movements.
class LoadDriver : public download::LoadStage {
 public:
  LoadDriver(db::Connection& local, download::DownloadState& state, LoadEnvironment environment,
             LoadParts parts);

  bool ChamaInsereMSDE(const download::LoadRunValues& values,
                       std::vector<db::Value>& salesVector) override;
  void BuscaDtUltAtuTabelas(download::RequestVectors& vectors) override;

  // The load proper; raises LoadFailure when a component failed.
  bool InsereMSDE(const std::string& branch, const std::string& cashRegister,
                  const std::string& tableCount, const std::string& mode);

  const std::string& lastError() const { return lastError_; }

 private:
  void load(const std::string& branch, const std::string& cashRegister, const std::string& mode);
  void fullWipe();
  void validateMovements(std::vector<db::Value>& salesVector);

  db::Connection& conn_;
  download::DownloadState& state_;
  LoadEnvironment env_;
  LoadParts parts_;
  LoadContext ctx_;
  outside::KivProxCodigo nextCode_;
  KeyedMerge merge_;
  BulkWriter writer_;
  TableSequence sequence_;
  std::string lastError_;
};

// A failed load whose text names the failed component.
class LoadFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr std::string_view kCaixaSem = "Caixa sem string de conexão.";
inline constexpr std::string_view kCanc = "O processo de exportação foi cancelado.";

}  // namespace load
