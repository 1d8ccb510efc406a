#include "db/embedded/embedded_connection.h"

#include <sqlite3.h>

#include <cctype>

#include "db/embedded/catalog/sqlite_access.h"
#include "db/embedded/extension.h"
#include "db/embedded/sqlite_error.h"
#include "db/embedded/tokenizer.h"
#include "fault/fault.h"

namespace db::embedded {
namespace {

// Texts run through execute()/query() without prepare() are kept up to this many; statement
// files send thousands of distinct texts once each, which must not pile up.
constexpr size_t kMaxUnpinnedStatements = 512;

constexpr std::string_view kBegin = "BEGIN IMMEDIATE";
constexpr std::string_view kBeginRead = "BEGIN DEFERRED";
constexpr std::string_view kCommit = "COMMIT";
constexpr std::string_view kRollback = "ROLLBACK";
constexpr std::string_view kStoredViews =
    "SELECT definition FROM kivtab_objects WHERE type = 'V' ORDER BY rowid";

}  // namespace

EmbeddedConnection::EmbeddedConnection(sqlite3* db, std::string user,
                                       std::shared_ptr<server::Session> session, bool readsOnly)
    : readsOnly_(readsOnly),
      state_(std::make_shared<ConnectionState>(ConnectionState{db})),
      session_(std::move(session)),
      databases_(db, session_),
      translator_(db, std::move(user), &databases_),
      procedural_(std::make_unique<procedural::Engine>(*this)) {}

EmbeddedConnection::~EmbeddedConnection() { close(); }

void EmbeddedConnection::checkOpen(std::string_view statement) const {
  if (!state_->open())
    throw Error(ErrorKind::Connection, "The connection is closed", std::string(statement));
}

void EmbeddedConnection::schemaChanged() {
  ++generation_;
  translator_.schemaChanged();
}

std::shared_ptr<const Translation> EmbeddedConnection::translate(const std::string& sql) {
  return translator_.translate(sql);
}

std::optional<int64_t> EmbeddedConnection::tryDdl(std::string_view sql) {
  const auto tokens = significant(tokenize(sql));
  if (tokens.size() >= 2 && tokens[0].is("CREATE") && tokens[1].is("DATABASE")) {
    size_t end = tokens.size();
    if (end > 3 && tokens[end - 1].isSymbol(";")) --end;
    if (end != 3)
      throw Error(ErrorKind::Unsupported,
                  "The embedded database engine does not support CREATE DATABASE options",
                  std::string(sql));
    databases_.create(tokens[2].value());
    return 0;
  }
  return ddl::tryExecute(db(), tokens, sql);
}

std::shared_ptr<StatementCore> EmbeddedConnection::prepareCore(const std::string& sqlite,
                                                               const std::string& original) {
  checkOpen(original);
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v3(db(), sqlite.c_str(), static_cast<int>(sqlite.size() + 1),
                                    SQLITE_PREPARE_PERSISTENT, &stmt, &tail);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    throwSqliteError(db(), rc, original);
  }
  if (!stmt) throw Error(ErrorKind::Syntax, "The statement is empty", original);
  auto core = std::make_shared<StatementCore>(state_, stmt, original);
  for (; tail && *tail; ++tail)
    if (!std::isspace(static_cast<unsigned char>(*tail)) && *tail != ';')
      throw Error(ErrorKind::Unsupported, "Several statements in one text", original);
  return core;
}

void EmbeddedConnection::run(const std::string& sqlite, std::string_view original) {
  checkOpen(original);
  char* message = nullptr;
  const int rc = sqlite3_exec(db(), sqlite.c_str(), nullptr, nullptr, &message);
  if (rc == SQLITE_OK) return;
  sqlite3_free(message);
  throwSqliteError(db(), rc, original);
}

EmbeddedStatement& EmbeddedConnection::statementFor(std::string_view sql, bool pin) {
  checkOpen(sql);
  if (auto it = statements_.find(sql); it != statements_.end()) {
    if (pin && !it->second.pinned) {
      it->second.pinned = true;
      --unpinned_;
    }
    return *it->second.statement;
  }
  auto statement = std::make_unique<EmbeddedStatement>(*this, std::string(sql));
  if (!pin && unpinned_ >= kMaxUnpinnedStatements) evictUnpinned();
  auto& entry = statements_[std::string(sql)];
  entry.statement = std::move(statement);
  entry.pinned = pin;
  if (!pin) ++unpinned_;
  return *entry.statement;
}

void EmbeddedConnection::evictUnpinned() {
  for (auto it = statements_.begin(); it != statements_.end();) {
    const auto& s = *it->second.statement;
    if (!it->second.pinned && !s.busy() && !s.active()) {
      it = statements_.erase(it);
      --unpinned_;
    } else {
      ++it;
    }
  }
}

int64_t EmbeddedConnection::execute(std::string_view sql, const Params& params) {
  server::ClientCall call(*session_, sql);
  EmbeddedStatement& cached = statementFor(sql, false);
  int64_t affected = 0;
  if (cached.busy() || cached.active()) {
    EmbeddedStatement fresh(*this, std::string(sql));
    fresh.bind(params);
    affected = fresh.execute();
  } else {
    cached.bind(params);
    affected = cached.execute();
  }
  if (!inTransaction()) fault::reach("autocommit");
  return affected;
}

std::unique_ptr<Rows> EmbeddedConnection::query(std::string_view sql, const Params& params) {
  server::ClientCall call(*session_, sql);
  EmbeddedStatement& cached = statementFor(sql, false);
  if (cached.busy() || cached.active()) {
    EmbeddedStatement fresh(*this, std::string(sql));
    fresh.bind(params);
    return fresh.query();
  }
  cached.bind(params);
  return cached.query();
}

Statement& EmbeddedConnection::prepare(std::string_view sql) { return statementFor(sql, true); }

BatchResult EmbeddedConnection::executeBatch(std::string_view sql, const Params& params) {
  server::ClientCall call(*session_, sql);
  checkOpen(sql);
  return procedural_->executeBatch(sql, params);
}

ProcedureResult EmbeddedConnection::callProcedure(std::string_view name,
                                                  const std::vector<ProcedureArgument>& args) {
  // As for a remote procedure call, the server shows the procedure's name.
  server::ClientCall call(*session_, name);
  checkOpen(name);
  return procedural_->callProcedure(name, args);
}

void EmbeddedConnection::restoreViews() {
  std::vector<std::string> definitions;
  {
    sqlite::Stmt rows(db(), kStoredViews);
    while (rows.step()) definitions.push_back(rows.text(0));
  }
  for (const auto& definition : definitions) {
    try {
      run(translate(definition)->sql, definition);
    } catch (const Error&) {
      // A view whose other database is gone stays listed and fails when it is used, as it
      // does on the server; opening the connection must not fail for it.
    }
  }
  schemaChanged();
}

void EmbeddedConnection::begin() {
  checkOpen(kBegin);
  if (inTransaction())
    throw Error(ErrorKind::General, "A transaction is already open", std::string(kBegin));
  const std::string_view begin = readsOnly_ ? kBeginRead : kBegin;
  run(std::string(begin), begin);
}

void EmbeddedConnection::commit() {
  checkOpen(kCommit);
  if (!inTransaction())
    throw Error(ErrorKind::General, "No transaction is open", std::string(kCommit));
  run(std::string(kCommit), kCommit);
  fault::reach("commit");
}

void EmbeddedConnection::rollback() {
  checkOpen(kRollback);
  if (inTransaction()) run(std::string(kRollback), kRollback);
}

bool EmbeddedConnection::inTransaction() const {
  return state_->open() && sqlite3_get_autocommit(state_->db) == 0;
}

void EmbeddedConnection::close() {
  if (!state_->open()) return;
  procedural_->clear();
  statements_.clear();
  unpinned_ = 0;
  translator_.detach();
  databases_.detach();
  // Rows still held by callers keep their statements; close_v2 defers the close until they
  // are finalized, and the shared state makes them fail cleanly meanwhile.
  sqlite3* db = state_->db;
  state_->db = nullptr;
  sqlite3_close_v2(db);
}

}  // namespace db::embedded
