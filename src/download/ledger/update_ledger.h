#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/core/connection.h"
#include "download/services.h"

namespace download {

// Rows of the central update ledger as the server sent them (the client dataset
// cdsCliCtrlAtualTab): field names and, per row, one value per field.
struct ReceivedRows {
  std::vector<std::string> fields;
  std::vector<std::vector<db::Value>> rows;
  bool empty() const { return rows.empty(); }
};

// CTRLATUALTAB, the local mirror of the central update ledger of the anticipated hierarchies.
class UpdateLedger {
 public:
  static constexpr std::string_view kComponent = "adqCtrlAtualTab";

  UpdateLedger(db::Connection& conn, const Services& services) : conn_(conn), s_(services) {}

  // Latest date of the table: with a key, of the rows matching it (LIKE) and of the rows written
  // for child tables; without one, of every row. NULL when there is none.
  db::Value dataCtrlAtualTab(std::string_view nmTabela, std::string_view dsChave);

  // Merges the received rows field by field, propagates the newest date to the group's child
  // tables and commits. A failure rolls back and raises ComponentError naming kComponent.
  void gravaCtrlAtualTab(std::string_view nmTabela, std::string_view group,
                         const ReceivedRows& received);

  // Writes the date to every existing child table of the level; errors are logged, not raised.
  void atualizaDataFilha(int level, std::string_view group, db::DateTime date);

  // Keeps only the newest-dated rows of each table; errors are logged and the run goes on.
  void limpaDatasAntigas();

 private:
  void mergeRow(const ReceivedRows& received, const std::vector<db::Value>& row);

  db::Connection& conn_;
  const Services& s_;
};

}  // namespace download
