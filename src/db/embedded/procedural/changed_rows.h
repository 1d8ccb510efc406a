#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/core/value.h"

struct sqlite3;

// The rows a statement changed, as its triggers see them through `inserted` and `deleted`.
namespace db::embedded::procedural {

// What one INSERT, UPDATE or DELETE changed in its table, captured row by row while it runs.
struct ChangedRows {
  std::string table;  // upper-case
  bool capturing = true;
  std::vector<std::vector<Value>> inserted;
  std::vector<std::vector<Value>> deleted;
};

// The statements whose triggers are running or about to run, innermost last.
class ChangeStack {
 public:
  explicit ChangeStack(sqlite3* db) : db_(db) {}
  ~ChangeStack();

  // Starts capturing the changes a statement makes to `table` (upper-case); the rows stay readable
  // until pop(). Capturing costs nothing while no statement with triggers runs.
  ChangedRows& push(const std::string& table);
  void stopCapturing();
  void pop();

  // The innermost changes of `table`, or nothing.
  const ChangedRows* innermost(const std::string& table) const;

  // Makes `kivtab_inserted_N` and `kivtab_deleted_N` readable tables with T's columns
  // (`columns` is the column list of a CREATE TABLE: "A INT, B VARCHAR(10)") and returns N:
  // T upper-cased, with a version added once T's columns changed, so that statements prepared
  // against the old columns never meet the new ones under the same name.
  std::string expose(const std::string& table, const std::string& columns);

  static std::string insertedName(const std::string& exposed) {
    return "kivtab_inserted_" + exposed;
  }
  static std::string deletedName(const std::string& exposed) { return "kivtab_deleted_" + exposed; }

 private:
  void capture(int op, const char* table);
  static void onPreupdate(void* self, sqlite3* db, int op, const char* schema, const char* table,
                          long long oldKey, long long newKey);

  sqlite3* db_;
  std::vector<std::unique_ptr<ChangedRows>> frames_;
  size_t depth_ = 0;  // frames_[0, depth_) are in use
  struct Exposed {
    std::string columns;
    std::string name;
    int version = 0;
  };
  std::unordered_map<std::string, Exposed> exposed_;  // by upper-case table
};

}  // namespace db::embedded::procedural
