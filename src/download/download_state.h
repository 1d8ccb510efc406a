#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/value.h"
#include "db/dataset/dataset.h"
#include "download/ledger/request_dates.h"

namespace download {

// Client dataset names are matched ignoring case, as the data module's components are.
struct NameLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// Positions 190 to 198 of the download reply: eight data packets and the server's return text,
// handed to the local load's sales validation.
inline constexpr size_t kSalesVectorSize = 9;

// What the download leaves on dtmBaixaTabelas for the local load: the run's values and notes,
// the request vectors and the client datasets, by name ("cdsProduto", "cdsCacheProd").
struct DownloadState {
  std::string branch;
  std::string cashRegister;
  std::string mode;
  std::string idSenConsCentral;
  std::string nmSqlNameDb;
  std::string nmSqlSchemaDb;
  std::string cdLoja;
  std::string idUtilAberAuto;

  bool itMenuConfTeEmpty = false;
  bool extractPresent = false;
  bool existeVendaPendente = false;
  bool existeExtratoPendente = false;

  RequestVectors vectors;
  std::vector<db::Value> salesVector = std::vector<db::Value>(kSalesVectorSize);

  // The named client dataset; an absent one is created empty.
  db::DataSet& dataset(std::string_view name);
  // Null when no dataset of that name exists yet.
  db::DataSet* findDataset(std::string_view name) {
    const auto it = datasets_.find(name);
    return it == datasets_.end() ? nullptr : &it->second;
  }
  std::map<std::string, db::DataSet, NameLess>& datasets() { return datasets_; }

 private:
  std::map<std::string, db::DataSet, NameLess> datasets_;
};

}  // namespace download
