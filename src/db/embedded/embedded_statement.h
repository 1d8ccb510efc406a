#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/core/connection.h"
#include "db/embedded/procedural/triggers.h"
#include "db/embedded/statement_core.h"
#include "db/embedded/translate/translation.h"

namespace db::embedded {

class EmbeddedConnection;

// A T-SQL statement prepared on the embedded engine. Translation and preparation happen once
// and again only after the schema changed; binding by index goes straight to SQLite.
class EmbeddedStatement final : public Statement {
 public:
  EmbeddedStatement(EmbeddedConnection& connection, std::string text);

  const std::string& text() const override { return text_; }
  const std::vector<std::string>& parameterNames() const override { return names_; }
  using Statement::bind;
  void bind(size_t index, const Value& value) override;
  int64_t execute() override;
  std::unique_ptr<Rows> query() override;

  // Rows of its last query are still being read.
  bool busy() const { return core_ && core_->busy(); }
  // Executing or querying right now (a statement run from within another).
  bool active() const { return active_ > 0; }

 private:
  void ready();
  void prepareCore();
  Value converted(size_t index, const Value& value) const;
  void bindAll(sqlite3_stmt* stmt) const;
  void step(StatementCore& core);
  void runSetup();
  void undoSetup() noexcept;
  int64_t executePlain();
  int64_t executeWholeTableUpdate();
  int64_t rowsToChange();
  int64_t executeSelectInto();
  int64_t executeConditional();
  Params keptParams() const;

  EmbeddedConnection& connection_;
  std::string text_;
  std::vector<std::string> names_;
  bool mayBeDdl_;
  // Runs as a batch: variables, control flow, procedure calls or several statements.
  bool procedural_;
  bool ddl_ = false;
  uint64_t generation_ = ~uint64_t{0};
  std::shared_ptr<const Translation> translation_;
  std::shared_ptr<StatementCore> core_;
  // The count of the rows a whole-table UPDATE changes (Translation::wholeTableCount).
  std::shared_ptr<StatementCore> countCore_;
  // Values kept for statements that are not bound straight into SQLite (SELECT INTO, IF).
  std::vector<Value> kept_;
  int active_ = 0;
  // Triggers fire for this statement (looked up with the translation, per schema generation).
  procedural::TriggerList triggers_;
};

}  // namespace db::embedded
