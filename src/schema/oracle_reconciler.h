#pragma once

#include <string>
#include <vector>

#include "db/core/connection.h"
#include "schema/local_catalog.h"
#include "schema/structure_package.h"

namespace schema {

// Brings the tables of a local Oracle database into line with the package's Oracle columns:
// missing tables created with their primary key, columns added and modified, every package
// index dropped and created again, foreign keys applied. Table names are used as stored.
// Every statement commits on its own. Raises only when a CREATE TABLE fails (the tables done
// before stay as they are) or the package cannot be written into statements.
class OracleReconciler {
 public:
  OracleReconciler(db::Connection& local, std::string owner);

  void reconcile(const StructurePackage& package);

 private:
  void tableStep(const PackageTable& table);
  bool tableExists(const std::string& table);
  std::vector<LocalColumn> localColumns(const std::string& table);
  void updateColumn(const std::string& table, const std::vector<LocalColumn>& local,
                    const PackageColumn& column);
  void indexStep(const PackageTable& table);
  // Statements whose failure the reconciliation passes over, with no log line: the next run
  // tries them again, and one table's trouble must not stop the others.
  void runIgnoringErrors(const std::string& statement);

  db::Connection& local_;
  std::string owner_;
};

}  // namespace schema
