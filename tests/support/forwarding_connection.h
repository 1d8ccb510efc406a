#pragma once

#include <memory>
#include <string_view>

#include "db/core/connection.h"

namespace testing_support {

// Passes every call on to another connection; test doubles derive from it and override only
// what they watch or break.
class ForwardingConnection : public db::Connection {
 public:
  explicit ForwardingConnection(db::Connection& inner) : inner_(&inner) {}
  explicit ForwardingConnection(std::unique_ptr<db::Connection> owned)
      : owned_(std::move(owned)), inner_(owned_.get()) {}

  int64_t execute(std::string_view sql, const db::Params& params = {}) override {
    return inner_->execute(sql, params);
  }
  std::unique_ptr<db::Rows> query(std::string_view sql, const db::Params& params = {}) override {
    return inner_->query(sql, params);
  }
  db::Statement& prepare(std::string_view sql) override { return inner_->prepare(sql); }
  db::BatchResult executeBatch(std::string_view sql, const db::Params& params = {}) override {
    return inner_->executeBatch(sql, params);
  }
  db::ProcedureResult callProcedure(std::string_view name,
                                    const std::vector<db::ProcedureArgument>& args) override {
    return inner_->callProcedure(name, args);
  }
  void begin() override { inner_->begin(); }
  void commit() override { inner_->commit(); }
  void rollback() override { inner_->rollback(); }
  bool inTransaction() const override { return inner_->inTransaction(); }
  void close() override { inner_->close(); }
  bool isOpen() const override { return inner_->isOpen(); }
  std::string_view engineName() const override { return inner_->engineName(); }

  // The connection underneath, for setting up and reading back without being watched.
  db::Connection& inner() { return *inner_; }

 private:
  std::unique_ptr<db::Connection> owned_;
  db::Connection* inner_;
};

}  // namespace testing_support
