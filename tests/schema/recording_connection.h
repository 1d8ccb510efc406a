#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../support/forwarding_connection.h"
#include "db/core/connection.h"

namespace schema_test {

// Passes everything to a real connection and keeps the texts executed (not queries), in order.
// `failWith` may answer an error text for a statement, which then fails without running.
class RecordingConnection : public testing_support::ForwardingConnection {
 public:
  explicit RecordingConnection(db::Connection& inner) : ForwardingConnection(inner) {}

  std::vector<std::string> executed;
  std::function<std::optional<std::string>(const std::string&)> failWith;
  // The same for queries.
  std::function<std::optional<std::string>(const std::string&)> failQueryWith;

  int64_t execute(std::string_view sql, const db::Params& params = {}) override {
    executed.emplace_back(sql);
    if (failWith)
      if (auto error = failWith(std::string(sql)))
        throw db::Error(db::ErrorKind::General, *error, std::string(sql));
    return ForwardingConnection::execute(sql, params);
  }
  std::unique_ptr<db::Rows> query(std::string_view sql, const db::Params& params = {}) override {
    if (failQueryWith)
      if (auto error = failQueryWith(std::string(sql)))
        throw db::Error(db::ErrorKind::General, *error, std::string(sql));
    return ForwardingConnection::query(sql, params);
  }
  // Batches are kept with the statements; they reach the connection underneath only while
  // runBatches is set.
  bool runBatches = true;
  db::BatchResult executeBatch(std::string_view sql, const db::Params& params = {}) override {
    executed.emplace_back(sql);
    if (failWith)
      if (auto error = failWith(std::string(sql)))
        throw db::Error(db::ErrorKind::General, *error, std::string(sql));
    if (!runBatches) return {};
    return ForwardingConnection::executeBatch(sql, params);
  }
  // The connection underneath belongs to the test.
  void close() override {}

  // Executed texts that begin with `prefix`.
  std::vector<std::string> startingWith(std::string_view prefix) const {
    std::vector<std::string> found;
    for (const auto& text : executed)
      if (text.rfind(prefix, 0) == 0) found.push_back(text);
    return found;
  }
};

}  // namespace schema_test
