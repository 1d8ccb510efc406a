#include "db/embedded/embedded_statement.h"

#include <sqlite3.h>

#include <algorithm>

#include "db/core/text.h"
#include "db/embedded/embedded_connection.h"
#include "db/embedded/embedded_rows.h"
#include "db/embedded/procedural/result_rows.h"
#include "db/embedded/procedural/statement_bounds.h"
#include "db/embedded/select_into.h"
#include "db/embedded/sqlite_error.h"
#include "db/embedded/tokenizer.h"
#include "db/embedded/value_codec.h"
#include "db/embedded/whole_table_update.h"

namespace db::embedded {
namespace {

// Statements the engine always translates itself; anything else may be DDL that the
// extension carries out.
bool isPlainDml(const std::vector<Token>& tokens) {
  for (const auto& t : tokens) {
    if (t.kind == TokenKind::Space) continue;
    static constexpr std::string_view kDml[] = {"SELECT",   "INSERT", "UPDATE", "DELETE",   "WITH",
                                                "TRUNCATE", "BEGIN",  "COMMIT", "ROLLBACK", "DBCC"};
    for (auto word : kDml)
      if (t.is(word)) return true;
    return false;
  }
  return true;
}

// Marks a statement as running for the duration of a call, so the connection's cache keeps it.
struct ActiveScope {
  explicit ActiveScope(int& counter) : counter_(counter) { ++counter_; }
  ~ActiveScope() { --counter_; }
  int& counter_;
};

}  // namespace

EmbeddedStatement::EmbeddedStatement(EmbeddedConnection& connection, std::string text)
    : connection_(connection), text_(std::move(text)) {
  const auto tokens = tokenize(text_);
  names_ = parameterNamesOf(tokens);
  procedural_ = procedural::isProcedural(significant(tokens));
  mayBeDdl_ = !procedural_ && !isPlainDml(tokens);
  if (procedural_) kept_.resize(names_.size());
}

Params EmbeddedStatement::keptParams() const {
  Params params;
  for (size_t i = 0; i < names_.size(); ++i) params.push_back(Param{names_[i], kept_[i]});
  return params;
}

void EmbeddedStatement::ready() {
  connection_.checkOpen(text_);
  if (generation_ == connection_.generation()) return;
  translation_ = connection_.translate(text_);
  // A statement with setup (DROP INDEX before CREATE INDEX) is prepared after the setup ran:
  // SQLite checks the objects it creates when preparing.
  if (!translation_->setup.empty())
    core_.reset();
  else if (!core_ || core_->translated() != translation_->sql)
    prepareCore();
  if (translation_->kind != Translation::Kind::Plain || !translation_->wholeTableCount.empty())
    kept_.resize(names_.size());
  triggers_ = translation_->change ? connection_.procedural().triggers().forStatement(
                                         translation_->changedTable, translation_->change)
                                   : procedural::TriggerList{};
  // Only a statement that got this far is ready: one whose preparation failed (a table not yet
  // there) is prepared again at its next run instead of running without a core.
  generation_ = connection_.generation();
}

void EmbeddedStatement::prepareCore() {
  auto fresh = connection_.prepareCore(translation_->sql, text_);
  if (core_ &&
      sqlite3_bind_parameter_count(core_->stmt()) == sqlite3_bind_parameter_count(fresh->stmt()))
    sqlite3_transfer_bindings(core_->stmt(), fresh->stmt());
  core_ = std::move(fresh);
}

Value EmbeddedStatement::converted(size_t index, const Value& value) const {
  if (value.kind() != Value::Kind::Text || index >= translation_->dateParameters.size() ||
      !translation_->dateParameters[index])
    return value;
  const std::string_view text = trim(value.getText());
  // SQL Server reads an empty text as its own base date, 1900-01-01.
  if (text.empty()) return DateTime::fromParts(1900, 1, 1);
  if (auto t = DateTime::parse(text)) return *t;
  throw Error(ErrorKind::Conversion,
              "Conversion failed when converting date and/or time from character string '" +
                  value.getText() + "' (parameter " + names_[index] + ")",
              text_);
}

void EmbeddedStatement::bind(size_t index, const Value& value) {
  if (index >= names_.size())
    throw Error(ErrorKind::General,
                "Parameter index " + std::to_string(index) + " out of range (" +
                    std::to_string(names_.size()) + " parameters)",
                text_);
  if (procedural_) {
    kept_[index] = value;
    return;
  }
  ready();
  if (translation_->kind != Translation::Kind::Plain) {
    kept_[index] = converted(index, value);
    return;
  }
  if (!core_) return;  // statements with setup take no parameters
  const bool date = index < translation_->dateParameters.size() &&
                    translation_->dateParameters[index] && value.kind() == Value::Kind::Text;
  const Value& bound = date ? converted(index, value) : value;
  const int rc = bindValue(core_->stmt(), static_cast<int>(index) + 1, bound);
  if (rc != SQLITE_OK) throwSqliteError(connection_.db(), rc, text_);
  // The count of the rows it changes takes the same values.
  if (!translation_->wholeTableCount.empty()) kept_[index] = bound;
}

void EmbeddedStatement::bindAll(sqlite3_stmt* stmt) const {
  // An IF's probe may use fewer parameters than its statement.
  const size_t count =
      std::min(kept_.size(), static_cast<size_t>(sqlite3_bind_parameter_count(stmt)));
  for (size_t i = 0; i < count; ++i) {
    const int rc = bindValue(stmt, static_cast<int>(i) + 1, kept_[i]);
    if (rc != SQLITE_OK) throwSqliteError(connection_.db(), rc, text_);
  }
}

void EmbeddedStatement::step(StatementCore& core) {
  // A statement is left reset after every run; only open rows still hold it.
  if (core.busy()) core.restart();
  int rc;
  while ((rc = sqlite3_step(core.stmt())) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) {
    Error error = sqliteError(connection_.db(), rc, text_);
    sqlite3_reset(core.stmt());
    throw error;
  }
  sqlite3_reset(core.stmt());
}

int64_t EmbeddedStatement::execute() {
  ActiveScope scope(active_);
  server::ClientCall call(connection_.session(), text_);
  connection_.checkOpen(text_);
  if (procedural_) {
    procedural::Output out;
    connection_.procedural().runBatch(text_, keptParams(), out);
    return out.rowsAffected;
  }
  if (mayBeDdl_ && (ddl_ || generation_ != connection_.generation())) {
    std::optional<int64_t> done;
    try {
      done = connection_.tryDdl(text_);
    } catch (...) {
      // A failed change may still have changed something; what is known is refreshed.
      connection_.schemaChanged();
      throw;
    }
    if (done) {
      ddl_ = true;
      connection_.schemaChanged();
      return *done;
    }
    ddl_ = false;
  }
  ready();
  switch (translation_->kind) {
    case Translation::Kind::Plain:
      return executePlain();
    case Translation::Kind::SelectInto:
      return executeSelectInto();
    case Translation::Kind::Conditional:
      return executeConditional();
  }
  return 0;
}

void EmbeddedStatement::undoSetup() noexcept {
  // The statement's own error is what the caller learns; undoing is best effort after it.
  for (const auto& s : translation_->undo) {
    try {
      connection_.run(s, text_);
    } catch (const Error&) {
    }
  }
}

void EmbeddedStatement::runSetup() {
  if (translation_->setup.empty()) return;
  for (const auto& s : translation_->setup) connection_.run(s, text_);
  core_ = connection_.prepareCore(translation_->sql, text_);
}

int64_t EmbeddedStatement::executePlain() {
  if (!translation_->changesSchema) {
    if (triggers_.empty() && !translation_->wholeTableCount.empty())
      return executeWholeTableUpdate();
    if (!triggers_.empty())
      return connection_.procedural().triggers().run(triggers_, text_, [this] {
        step(*core_);
        return static_cast<int64_t>(sqlite3_changes64(connection_.db()));
      });
    step(*core_);
    if (translation_->identityInsert && sqlite3_changes64(connection_.db()) > 0)
      connection_.session().lastIdentity = sqlite3_last_insert_rowid(connection_.db());
    return translation_->reportsChanges ? sqlite3_changes64(connection_.db()) : 0;
  }
  // Whether it succeeds or not, names and types are read afresh afterwards.
  try {
    runSetup();
    step(*core_);
    for (const auto& s : translation_->after) connection_.run(s, text_);
  } catch (...) {
    undoSetup();
    connection_.schemaChanged();
    throw;
  }
  connection_.schemaChanged();
  return 0;
}

// Changing every row of a large table, it builds the indexes on the changed columns again
// instead of moving each of their entries.
int64_t EmbeddedStatement::executeWholeTableUpdate() {
  const auto indexes = indexesOnColumns(connection_.db(), translation_->changedTable,
                                        translation_->wholeTableColumns);
  if (!indexes.empty() && rowsToChange() >= kRebuildRows) {
    if (auto changed =
            updateWithIndexesRebuilt(connection_, indexes, text_, [this] { step(*core_); }))
      return *changed;
  }
  step(*core_);
  return sqlite3_changes64(connection_.db());
}

int64_t EmbeddedStatement::rowsToChange() {
  if (!countCore_ || countCore_->translated() != translation_->wholeTableCount)
    countCore_ = connection_.prepareCore(translation_->wholeTableCount, text_);
  bindAll(countCore_->stmt());
  countCore_->restart();
  const int rc = sqlite3_step(countCore_->stmt());
  const int64_t rows = rc == SQLITE_ROW ? sqlite3_column_int64(countCore_->stmt(), 0) : 0;
  sqlite3_reset(countCore_->stmt());
  if (rc != SQLITE_ROW) throwSqliteError(connection_.db(), rc, text_);
  return rows;
}

int64_t EmbeddedStatement::executeSelectInto() {
  bindAll(core_->stmt());
  int64_t rows = 0;
  try {
    rows = selectInto(connection_, *core_, *translation_, kept_);
  } catch (...) {
    connection_.schemaChanged();
    throw;
  }
  connection_.schemaChanged();
  return rows;
}

int64_t EmbeddedStatement::executeConditional() {
  bindAll(core_->stmt());
  core_->restart();
  const int rc = sqlite3_step(core_->stmt());
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    Error error = sqliteError(connection_.db(), rc, text_);
    sqlite3_reset(core_->stmt());
    throw error;
  }
  sqlite3_reset(core_->stmt());
  if (rc == SQLITE_DONE) return 0;
  return connection_.execute(translation_->body);
}

std::unique_ptr<Rows> EmbeddedStatement::query() {
  ActiveScope scope(active_);
  server::ClientCall call(connection_.session(), text_);
  if (procedural_) {
    // As ADO hands back a batch's first result set.
    connection_.checkOpen(text_);
    procedural::Output out;
    connection_.procedural().runBatch(text_, keptParams(), out);
    ResultSet first;
    if (!out.resultSets.empty()) first = std::move(out.resultSets.front());
    return std::make_unique<procedural::ResultRows>(std::move(first));
  }
  ready();
  if (translation_->kind != Translation::Kind::Plain)
    throw Error(ErrorKind::General, "The statement returns no rows", text_);
  runSetup();
  return std::make_unique<EmbeddedRows>(core_);
}

}  // namespace db::embedded
