#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "db/core/connection.h"
#include "db/embedded/embedded.h"

namespace db::embedded::test_support {

inline std::unique_ptr<Connection> openMemory(const std::string& user = "sa") {
  return open(Options{":memory:", user, true});
}

// A fresh database file under the test's temporary directory, removed afterwards.
class TempDatabase {
 public:
  explicit TempDatabase(const std::string& name)
      : path_(std::filesystem::temp_directory_path() /
              ("kivtab_embedded_" + name + "_" + std::to_string(::getpid()) + ".db")) {
    remove();
  }
  ~TempDatabase() { remove(); }
  std::string path() const { return path_.string(); }
  std::unique_ptr<Connection> open(const std::string& user = "sa") const {
    return db::embedded::open(Options{path(), user, true});
  }

 private:
  void remove() {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
      std::filesystem::remove(path_.string() + suffix);
  }
  std::filesystem::path path_;
};

// Every row of a query with its values as text ("NULL" for null), columns joined by '|'.
inline std::vector<std::string> rowsOf(Connection& c, std::string_view sql,
                                       const Params& params = {}) {
  std::vector<std::string> out;
  auto rows = c.query(sql, params);
  while (rows->next()) {
    std::string line;
    for (size_t i = 0; i < rows->columns().size(); ++i) {
      if (i) line += '|';
      const Value& v = rows->at(i);
      line += v.isNull() ? "NULL" : v.asText();
    }
    out.push_back(line);
  }
  return out;
}

inline Value scalar(Connection& c, std::string_view sql, const Params& params = {}) {
  auto rows = c.query(sql, params);
  if (!rows->next()) return Value();
  return rows->at(0);
}

}  // namespace db::embedded::test_support
