#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/connection.h"
#include "schema/services.h"

namespace schema {

// One row of the local column query.
struct LocalColumn {
  std::string name;
  std::string fieldType;
  std::string nullable;
  std::string colDefault;  // empty when the column has none
};

// What the reconciliation asks of the local catalogue. Catalogue reads walk the whole catalogue
// whatever they filter on, so the tables, columns and index names are read once per pass and
// kept up to date by the reconciliation's own changes; a table it changed is read again alone.
class LocalCatalog {
 public:
  LocalCatalog(db::Connection& connection, std::string owner, LogLine log);

  // Reads the whole catalogue; call again after changes made behind the catalogue's back.
  void load();
  void setConnection(db::Connection& connection) { connection_ = &connection; }

  // adqExisteTabela: any object of that name.
  bool tableExists(std::string_view table);
  // qryLocalStructMSDE: the table's columns in column order.
  const std::vector<LocalColumn>& columns(std::string_view table);
  // The table was created or altered: its columns are read again when next asked for.
  void tableChanged(std::string_view table);

  // ConsultaIndex: an index of that name exists anywhere in the database. A failing catalogue
  // read logs "ConsultaIndex -> " + message at level "1" and answers false.
  bool ConsultaIndex(std::string_view name);
  void indexCreated(std::string_view name);
  void indexDropped(std::string_view name);

  // Catalogue reads made so far (for the benchmark).
  int reads() const { return reads_; }

 private:
  std::vector<LocalColumn> readColumns(std::string_view table);
  void loadIndexNames();

  db::Connection* connection_;
  std::string owner_;
  LogLine log_;
  bool loaded_ = false;
  bool indexesLoaded_ = false;
  int reads_ = 0;
  std::set<std::string> objects_;                            // upper-case names
  std::map<std::string, std::vector<LocalColumn>> columns_;  // upper-case table -> columns
  std::set<std::string> indexes_;                            // upper-case names
};

}  // namespace schema
