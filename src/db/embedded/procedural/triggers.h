#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/embedded/procedural/changed_rows.h"
#include "db/embedded/procedural/program.h"
#include "db/embedded/statement_core.h"

namespace db::embedded {
class EmbeddedConnection;
}

namespace db::embedded::procedural {

class Engine;

// An AFTER trigger as the catalogue keeps it; its body is parsed when it first fires.
struct Trigger {
  std::string name;
  std::string table;  // upper-case
  std::string definition;
  std::string events;     // some of "IUD"
  std::string exposedAs;  // names the tables `inserted` and `deleted` stand for
  std::shared_ptr<Program> program;
};

using TriggerList = std::vector<std::shared_ptr<Trigger>>;

// Statement-level triggers as SQL Server fires them: once per INSERT, UPDATE or DELETE, also
// when it touched no row, with `inserted` and `deleted` holding the rows after and before.
class Triggers {
 public:
  Triggers(EmbeddedConnection& connection, Engine& engine);
  ~Triggers();

  // The enabled triggers of `table` for `change` ('I', 'U', 'D'), empty when it has none. The
  // catalogue is read once per schema generation, so tables without triggers cost nothing.
  TriggerList forStatement(const std::string& table, char change);

  // Runs `step` (the statement, returning its rows affected) and then the triggers, all inside
  // one savepoint: an error anywhere undoes the statement and everything its triggers did.
  int64_t run(const TriggerList& triggers, std::string_view statement,
              const std::function<int64_t()>& step);

  void clear();
  // A trigger body is running.
  bool firing() const { return !firing_.empty(); }

 private:
  void load();
  void fire(Trigger& trigger, std::string_view statement);
  // SAVEPOINT, RELEASE and ROLLBACK TO, prepared once: they run around every statement with
  // triggers.
  enum class Mark { Savepoint, Release, RollbackTo };
  void mark(Mark which, std::string_view statement);

  EmbeddedConnection& connection_;
  Engine& engine_;
  ChangeStack changes_;
  uint64_t loadedAt_ = ~uint64_t{0};
  std::unordered_map<std::string, TriggerList> byTable_;
  std::vector<const Trigger*> firing_;
  std::shared_ptr<StatementCore> marks_[3];
};

}  // namespace db::embedded::procedural
