#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/connection.h"
#include "schema/local_catalog.h"
#include "schema/services.h"
#include "schema/structure_package.h"

namespace schema {

struct ReconcileServices {
  LogLine log;
  // Disconnects and reconnects the local and the structure-server connections (the NRORG
  // repair); answers the local connection to go on with: the new one, or the old one, still
  // open, when no new one could be opened.
  std::function<db::Connection&()> reconnect;
};

// Brings the local SQL Server tables into line with the package: missing tables created with
// their keys and indexes, columns added and altered, foreign keys applied, and the one-off
// corrections. Every statement commits on its own. Raises only when a CREATE TABLE fails (the
// tables done before stay as they are) or the tables cannot be written into statements; a
// foreign key that cannot be is logged and left out.
class SqlServerReconciler {
 public:
  SqlServerReconciler(db::Connection& local, std::string owner, std::string nrorg,
                      ReconcileServices services);

  void reconcile(const StructurePackage& package);

  const LocalCatalog& catalog() const { return catalog_; }

 private:
  void tableStep(const PackageTable& table);
  void updateTable(const PackageTable& table, const std::string& name, bool& primaryKey);
  void updateColumn(const PackageTable& table, const std::string& name, const PackageColumn& column,
                    bool& primaryKey);
  void indexStep(const PackageTable& table, const std::string& name);
  void foreignKeyStep(const StructurePackage& package);

  // Statements whose failure the reconciliation deliberately passes over: the next run tries
  // them again, and one table's trouble must not stop the others.
  bool runIgnoringErrors(const std::string& statement);
  void alterWithRepair(const std::string& statement, const PackageColumn& column,
                       const std::string& table);
  void nrorgRepair(const std::string& error, const PackageColumn& column, const std::string& table,
                   const std::string& failedStatement);

  db::Connection* local_;
  std::string nrorg_;
  ReconcileServices services_;
  LocalCatalog catalog_;
  std::vector<LocalColumn> localColumns_;  // the table step's column query
};

}  // namespace schema
