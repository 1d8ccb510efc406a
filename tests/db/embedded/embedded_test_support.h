#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/core/connection.h"
#include "db/core/error.h"
#include "db/embedded/embedded.h"
#include "support/temp_dir.h"

namespace db::embedded::test_support {

// The matchers the suites check rows and error messages with.
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Rows as text, columns joined by '|', "NULL" for null.
using Lines = std::vector<std::string>;

inline std::unique_ptr<Connection> openMemory(const std::string& user = "sa") {
  return open(Options{":memory:", user, true});
}

// A suite whose every test has a private in-memory database of its own.
class MemoryDatabaseTest : public ::testing::Test {
 protected:
  std::unique_ptr<Connection> db = openMemory();
};

// A fresh database file in a temporary folder, removed afterwards with its journal files.
class TempDatabase {
 public:
  explicit TempDatabase(const std::string& name) : path_(dir_.path() / (name + ".db")) {}
  std::string path() const { return path_.string(); }
  std::unique_ptr<Connection> open(const std::string& user = "sa") const {
    return db::embedded::open(Options{path(), user, true});
  }

 private:
  testing_support::TempDir dir_;
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

// The db::Error a statement raises; a test failure when it raises none.
inline Error errorOf(const std::function<void()>& statement) {
  try {
    statement();
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no db::Error raised";
  return Error(ErrorKind::General, "no db::Error raised");
}

inline ErrorKind kindOf(const std::function<void()>& statement) {
  return errorOf(statement).kind();
}

inline Value scalar(Connection& c, std::string_view sql, const Params& params = {}) {
  auto rows = c.query(sql, params);
  if (!rows->next()) return Value();
  return rows->at(0);
}

}  // namespace db::embedded::test_support
