#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "db/core/connection.h"
#include "db/embedded/embedded_statement.h"
#include "db/embedded/procedural/engine.h"
#include "db/embedded/server/databases.h"
#include "db/embedded/server/session.h"
#include "db/embedded/statement_core.h"
#include "db/embedded/translate/translator.h"

struct sqlite3;

namespace db::embedded {

// db::Connection on SQLite: T-SQL texts are translated once per text and their prepared
// statements kept, so a statement run in a loop is bound and stepped, nothing more.
class EmbeddedConnection final : public Connection {
 public:
  EmbeddedConnection(sqlite3* db, std::string user, std::shared_ptr<server::Session> session,
                     bool readsOnly = false);
  ~EmbeddedConnection() override;

  int64_t execute(std::string_view sql, const Params& params = {}) override;
  std::unique_ptr<Rows> query(std::string_view sql, const Params& params = {}) override;
  Statement& prepare(std::string_view sql) override;
  BatchResult executeBatch(std::string_view sql, const Params& params = {}) override;
  ProcedureResult callProcedure(std::string_view name,
                                const std::vector<ProcedureArgument>& args) override;

  void begin() override;
  void commit() override;
  void rollback() override;
  bool inTransaction() const override;

  void close() override;
  bool isOpen() const override { return state_->open(); }
  std::string_view engineName() const override { return "embedded"; }

  // For the engine's statements.
  sqlite3* db() const { return state_->db; }
  void checkOpen(std::string_view statement) const;
  uint64_t generation() const { return generation_; }
  // Names, types or objects changed: translations and prepared statements are refreshed.
  void schemaChanged();
  std::shared_ptr<const Translation> translate(const std::string& sql);
  std::optional<int64_t> tryDdl(std::string_view sql);
  std::shared_ptr<StatementCore> prepareCore(const std::string& sqlite,
                                             const std::string& original);
  // Runs SQLite text with no parameters and no rows; errors carry `original`.
  void run(const std::string& sqlite, std::string_view original);
  server::Session& session() { return *session_; }
  // Creates this connection's TEMP views for the views over other databases (see the DDL of
  // CREATE VIEW); run once when the connection opens.
  void restoreViews();
  procedural::Engine& procedural() { return *procedural_; }

 private:
  struct StringHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  struct Cached {
    std::unique_ptr<EmbeddedStatement> statement;
    bool pinned = false;  // handed out by prepare(): lives until close()
  };

  EmbeddedStatement& statementFor(std::string_view sql, bool pin);
  void evictUnpinned();

  bool readsOnly_;
  std::shared_ptr<ConnectionState> state_;
  std::shared_ptr<server::Session> session_;
  server::Databases databases_;
  Translator translator_;
  uint64_t generation_ = 0;
  std::unordered_map<std::string, Cached, StringHash, std::equal_to<>> statements_;
  size_t unpinned_ = 0;
  // Last, so that parsed programs and their statements go before anything they use.
  std::unique_ptr<procedural::Engine> procedural_;
};

}  // namespace db::embedded
