#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/connection.h"
#include "db/embedded/embedded.h"

namespace testing_support {

// An in-memory embedded engine that keeps what tests look at: the transactions begun, committed
// and rolled back and the text of every statement executed directly. It can be made to fail as
// a lost database would, or to refuse one statement as a constraint would.
class ObservedConnection : public db::Connection {
 public:
  ObservedConnection() : inner_(db::embedded::open(db::embedded::Options{":memory:"})) {}

  int begins = 0;
  int commits = 0;
  int rollbacks = 0;
  std::vector<std::string> executed;
  bool lost = false;
  std::string failOn;  // a statement containing this text is refused

  int64_t execute(std::string_view sql, const db::Params& params = {}) override {
    check(sql);
    executed.emplace_back(sql);
    return inner_->execute(sql, params);
  }
  std::unique_ptr<db::Rows> query(std::string_view sql, const db::Params& params = {}) override {
    check(sql);
    return inner_->query(sql, params);
  }
  db::Statement& prepare(std::string_view sql) override {
    check(sql);
    return inner_->prepare(sql);
  }
  void begin() override {
    ++begins;
    inner_->begin();
  }
  void commit() override {
    check("COMMIT");
    ++commits;
    inner_->commit();
  }
  void rollback() override {
    ++rollbacks;
    inner_->rollback();
  }
  bool inTransaction() const override { return inner_->inTransaction(); }
  void close() override { inner_->close(); }
  bool isOpen() const override { return inner_->isOpen(); }
  std::string_view engineName() const override { return inner_->engineName(); }

  // The engine itself, for setting up and reading back without being observed.
  db::Connection& inner() { return *inner_; }
  int64_t count(const std::string& table, const std::string& where = "") {
    auto rows =
        inner_->query("SELECT COUNT(*) FROM " + table + (where.empty() ? "" : " WHERE " + where));
    rows->next();
    return rows->at(0).asInt();
  }
  db::Value scalar(std::string_view sql, const db::Params& params = {}) {
    auto rows = inner_->query(sql, params);
    return rows->next() ? rows->at(0) : db::Value();
  }
  size_t countExecuted(std::string_view prefix) const {
    size_t n = 0;
    for (const auto& s : executed) n += s.starts_with(prefix);
    return n;
  }

 private:
  void check(std::string_view sql) {
    if (lost) throw db::Error(db::ErrorKind::Connection, "connection lost", std::string(sql));
    if (!failOn.empty() && sql.find(failOn) != std::string_view::npos)
      throw db::Error(db::ErrorKind::Constraint, "constraint violated", std::string(sql));
  }
  std::unique_ptr<db::Connection> inner_;
};

}  // namespace testing_support
