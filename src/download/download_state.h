#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/value.h"
#include "db/dataset/dataset.h"
#include "download/ledger/request_dates.h"
#include "download/run_values.h"

namespace download {

// Client dataset names are matched ignoring case, as the data module's components are.
struct NameLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// A downloaded packet waiting for the load: in its file in the staging folder, or held in memory
// (`bytes`), `file` then naming where a leftover of an earlier run would be, and `source` what a
// bad packet's error names.
struct SpooledPacket {
  std::filesystem::path file;
  std::optional<std::string> bytes;
  std::string source;
};

// Positions 190 to 198 of the download reply: eight data packets and the server's return text,
// handed to the local load's sales validation.
inline constexpr size_t kSalesVectorSize = 9;

// What the download leaves on dtmBaixaTabelas for the local load: the run's values and notes,
// the request vectors and the client datasets, by name ("cdsProduto", "cdsCacheProd").
struct DownloadState : RunValues {
  std::string cdLoja;
  std::string idUtilAberAuto;

  bool itMenuConfTeEmpty = false;
  bool extractPresent = false;
  bool existeVendaPendente = false;
  bool existeExtratoPendente = false;

  RequestVectors vectors;
  std::vector<db::Value> salesVector = std::vector<db::Value>(kSalesVectorSize);

  // Where the download's packets wait for the load (Dados/Tabelas_Kiv); empty when they are held
  // in memory instead.
  std::filesystem::path spoolDirectory;

  // The named client dataset; an absent one is created empty.
  db::DataSet& dataset(std::string_view name);
  // Null when no dataset of that name exists yet.
  db::DataSet* findDataset(std::string_view name);
  // The datasets held in memory (a spooled one only once read).
  std::map<std::string, db::DataSet, NameLess>& datasets() { return datasets_; }

  // The named dataset's packet waits: it is read when the dataset is first asked for. A dataset of
  // that name held in memory is replaced.
  void spool(std::string_view name, SpooledPacket packet);
  bool isSpooled(std::string_view name) const { return spooled_.contains(name); }
  // Lets go of the large spooled datasets as they were read; asked for again, they are read
  // again from their packets. A dataset whose rows the load removed stays as it is.
  void releaseSpooled();
  // Deletes the spooled files and packets; the datasets held in memory stay, the others are gone.
  void clearSpool();

 private:
  struct Spooled {
    SpooledPacket packet;
    size_t rows = 0;  // as read from the packet
  };
  std::map<std::string, db::DataSet, NameLess> datasets_;
  std::map<std::string, Spooled, NameLess> spooled_;
};

}  // namespace download
