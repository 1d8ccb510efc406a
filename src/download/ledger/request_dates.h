#pragma once

#include <string>
#include <vector>

#include "db/core/connection.h"
#include "db/core/value.h"

namespace download {

inline constexpr size_t kDateSlots = 119;
inline constexpr size_t kIndicatorSlots = 9;

// The date vectors and indicators sent with the download request.
struct RequestVectors {
  std::vector<db::Value> vDatasControle = std::vector<db::Value>(kDateSlots);
  std::vector<db::Value> vDatasBase = std::vector<db::Value>(kDateSlots);
  std::vector<std::string> vIndicadores = std::vector<std::string>(kIndicatorSlots, "N");
};

// What the reading needs to know of the run.
struct RequestRun {
  std::string cdFilial;
  std::string cdCaixa;
  std::string mode;  // "TABELAS", "EXTRATOCONS", ...
  bool existeVendaPendente = false;
  bool existeExtratoPendente = false;
  // ITMENUCONFTE was empty before the anticipations filled it (read by the preparation).
  bool itMenuConfTeEmpty = false;
};

// Overwrites the slots of the twelve controlled tables with the dates their control rows call
// for, and sets indicators 0, 1, 4 and 5. Raises what the database raises.
void readRequestDates(db::Connection& conn, const RequestRun& run, RequestVectors& vectors,
                      db::DateTime now);

}  // namespace download
