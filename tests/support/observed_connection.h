#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/connection.h"
#include "db/embedded/embedded.h"
#include "forwarding_connection.h"

namespace testing_support {

// An in-memory embedded engine that keeps what tests look at: the transactions begun, committed
// and rolled back and the text of every statement executed directly. It can be made to fail as
// a lost database would, or to refuse one statement as a constraint would.
class ObservedConnection : public ForwardingConnection {
 public:
  ObservedConnection()
      : ForwardingConnection(db::embedded::open(db::embedded::Options{":memory:"})) {}

  int begins = 0;
  int commits = 0;
  int rollbacks = 0;
  std::vector<std::string> executed;
  bool lost = false;
  std::string failOn;  // a statement containing this text is refused
  bool rollbackFails = false;

  int64_t execute(std::string_view sql, const db::Params& params = {}) override {
    check(sql);
    executed.emplace_back(sql);
    return ForwardingConnection::execute(sql, params);
  }
  std::unique_ptr<db::Rows> query(std::string_view sql, const db::Params& params = {}) override {
    check(sql);
    return ForwardingConnection::query(sql, params);
  }
  db::Statement& prepare(std::string_view sql) override {
    check(sql);
    return ForwardingConnection::prepare(sql);
  }
  void begin() override {
    ++begins;
    ForwardingConnection::begin();
  }
  void commit() override {
    check("COMMIT");
    ++commits;
    ForwardingConnection::commit();
  }
  void rollback() override {
    ++rollbacks;
    if (rollbackFails) throw db::Error(db::ErrorKind::Connection, "rollback failed", "ROLLBACK");
    ForwardingConnection::rollback();
  }

  int64_t count(const std::string& table, const std::string& where = "") {
    auto rows =
        inner().query("SELECT COUNT(*) FROM " + table + (where.empty() ? "" : " WHERE " + where));
    rows->next();
    return rows->at(0).asInt();
  }
  db::Value scalar(std::string_view sql, const db::Params& params = {}) {
    auto rows = inner().query(sql, params);
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
};

}  // namespace testing_support
