#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/core/connection.h"
#include "db/embedded/procedural/program.h"
#include "db/embedded/procedural/session.h"
#include "db/embedded/procedural/triggers.h"

namespace db::embedded {
class EmbeddedConnection;
}

namespace db::embedded::procedural {

// An argument of a procedure call as the interpreter hands it over.
struct CallArgument {
  std::string name;  // without '@'; empty when positional
  Value value;
  bool output = false;
  bool isDefault = false;
};

// The procedural side of one connection: batches and procedure bodies parsed once and kept,
// the session's values, and calls nested up to 32 levels.
class Engine {
 public:
  static constexpr int kMaxNesting = 32;

  explicit Engine(EmbeddedConnection& connection);
  ~Engine();

  BatchResult executeBatch(std::string_view sql, const Params& params);
  ProcedureResult callProcedure(std::string_view name, const std::vector<ProcedureArgument>& args);
  // Runs a parsed batch with the caller's parameters; used by execute()/query() too.
  void runBatch(const std::string& sql, const Params& params, Output& out);

  // Calls a stored procedure; OUTPUT arguments receive their values. Returns RETURN's value.
  int64_t call(const std::string& name, std::vector<CallArgument>& args, Output& out);

  EmbeddedConnection& connection() { return connection_; }
  // @@TRANCOUNT: the batches' BEGIN TRAN nesting, 1 for a transaction the caller began.
  int64_t tranCount() const;
  // @@SPID: numbered per connection from 51 up, as SQL Server numbers user sessions.
  int64_t spid() const { return spid_; }
  Session& session() { return session_; }
  Triggers& triggers() { return triggers_; }
  // Enters one more level of nesting; the guard leaves it.
  class Nesting {
   public:
    explicit Nesting(Engine& engine);
    ~Nesting() { --engine_.session_.nestLevel; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    Engine& engine_;
  };

  // Forgets everything kept (the connection is closing).
  void clear();

 private:
  struct StoredProcedure {
    std::string definition;
    std::shared_ptr<Program> program;
    uint64_t checkedAt = ~uint64_t{0};
  };

  std::shared_ptr<Program> batch(const std::string& sql);
  std::shared_ptr<Program> procedure(const std::string& name);
  void dropTempTables(const Frame& frame);

  EmbeddedConnection& connection_;
  Session session_;
  int64_t spid_;
  Triggers triggers_;
  std::unordered_map<std::string, std::shared_ptr<Program>> batches_;
  std::unordered_map<std::string, StoredProcedure> procedures_;
};

}  // namespace db::embedded::procedural
