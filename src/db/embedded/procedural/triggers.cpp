#include "db/embedded/procedural/triggers.h"

#include <sqlite3.h>

#include "db/core/text.h"
#include "db/embedded/catalog/sqlite_access.h"
#include "db/embedded/embedded_connection.h"
#include "db/embedded/procedural/engine.h"
#include "db/embedded/procedural/interpreter.h"
#include "db/embedded/procedural/parser.h"
#include "db/embedded/sql_quoting.h"
#include "db/embedded/sqlite_error.h"
#include "db/embedded/tokenizer.h"

namespace db::embedded::procedural {
namespace {

constexpr std::string_view kEnabledTriggers =
    "SELECT name, parent, definition FROM kivtab_objects WHERE type = 'TR' AND is_disabled = 0 "
    "AND is_instead_of = 0 ORDER BY create_date, name";
constexpr std::string_view kColumns = "SELECT name, type FROM pragma_table_info(?1)";

constexpr std::string_view kMarks[] = {"SAVEPOINT kivtab_trigger", "RELEASE kivtab_trigger",
                                       "ROLLBACK TO kivtab_trigger"};

// "FOR | AFTER INSERT, UPDATE, DELETE" of a trigger's text, as "IUD".
std::string eventsOf(std::string_view definition) {
  const auto tokens = significant(tokenize(definition));
  std::string events;
  bool inList = false;
  for (const auto& t : tokens) {
    if (t.is("AS")) break;
    if (t.is("FOR") || t.is("AFTER")) inList = true;
    if (!inList) continue;
    if (t.is("INSERT")) events += 'I';
    if (t.is("UPDATE")) events += 'U';
    if (t.is("DELETE")) events += 'D';
  }
  return events;
}

std::string columnList(sqlite3* db, const std::string& table) {
  sqlite::Stmt columns(db, kColumns);
  columns.bind(1, table);
  std::string list;
  while (columns.step()) {
    list += (list.empty() ? "" : ", ") + quoteIdentifier(columns.text(0)) + " " + columns.text(1);
  }
  return list;
}

}  // namespace

Triggers::Triggers(EmbeddedConnection& connection, Engine& engine)
    : connection_(connection), engine_(engine), changes_(connection.db()) {}

Triggers::~Triggers() = default;

void Triggers::clear() {
  for (auto& core : marks_) core.reset();
  byTable_.clear();
  loadedAt_ = ~uint64_t{0};
}

void Triggers::load() {
  byTable_.clear();
  sqlite::Stmt stmt(connection_.db(), kEnabledTriggers);
  while (stmt.step()) {
    auto trigger = std::make_shared<Trigger>();
    trigger->name = stmt.text(0);
    trigger->table = upper(stmt.text(1));
    trigger->definition = stmt.text(2);
    trigger->events = eventsOf(trigger->definition);
    trigger->exposedAs =
        changes_.expose(trigger->table, columnList(connection_.db(), stmt.text(1)));
    byTable_[trigger->table].push_back(std::move(trigger));
  }
  loadedAt_ = connection_.generation();
}

TriggerList Triggers::forStatement(const std::string& table, char change) {
  if (loadedAt_ != connection_.generation()) load();
  if (byTable_.empty()) return {};
  auto it = byTable_.find(upper(table));
  if (it == byTable_.end()) return {};
  TriggerList out;
  for (const auto& t : it->second)
    if (t->events.find(change) != std::string::npos) out.push_back(t);
  return out;
}

void Triggers::mark(Mark which, std::string_view statement) {
  auto& core = marks_[static_cast<size_t>(which)];
  if (!core || !core->usable())
    core = connection_.prepareCore(std::string(kMarks[static_cast<size_t>(which)]),
                                   std::string(statement));
  const int rc = sqlite3_step(core->stmt());
  sqlite3_reset(core->stmt());
  if (rc != SQLITE_DONE) throwSqliteError(connection_.db(), rc, statement);
}

int64_t Triggers::run(const TriggerList& triggers, std::string_view statement,
                      const std::function<int64_t()>& step) {
  mark(Mark::Savepoint, statement);
  // The triggers' table is upper-case already, as the captured rows are keyed.
  changes_.push(triggers.front()->table);
  int64_t changed = 0;
  try {
    changed = step();
    changes_.stopCapturing();
    for (const auto& trigger : triggers) {
      engine_.session().rowCount = changed;
      fire(*trigger, statement);
    }
  } catch (...) {
    changes_.pop();
    // A ROLLBACK in a trigger has already undone everything, the savepoint included.
    if (connection_.inTransaction()) {
      mark(Mark::RollbackTo, statement);
      mark(Mark::Release, statement);
    }
    throw;
  }
  changes_.pop();
  mark(Mark::Release, statement);
  return changed;
}

void Triggers::fire(Trigger& trigger, std::string_view statement) {
  // Direct recursion is off, as SQL Server has it by default: a trigger's own statements on
  // its table do not fire it again.
  if (!firing_.empty() && firing_.back() == &trigger) return;
  try {
    if (!trigger.program)
      trigger.program = parseTriggerBody(trigger.definition, trigger.name, trigger.exposedAs);
    Engine::Nesting nesting(engine_);
    Frame frame;
    frame.program = trigger.program;
    frame.values.resize(trigger.program->variables.size());
    // Result sets a trigger returns are not passed on (SQL Server deprecates them).
    Output ignored;
    firing_.push_back(&trigger);
    try {
      Interpreter(engine_, frame, ignored).run();
    } catch (...) {
      firing_.pop_back();
      throw;
    }
    firing_.pop_back();
  } catch (const ObjectError& e) {
    if (e.object() != trigger.name) throw;
    throw ObjectError(
        Error(e.kind(), std::string(e.what()) + " (fired by '" + std::string(statement) + "')",
              e.statement(), e.nativeCode()),
        e.original(), e.object(), e.number());
  } catch (const Error& e) {
    throw ObjectError(Error(e.kind(),
                            "In trigger '" + trigger.name + "' (fired by '" +
                                std::string(statement) + "'): " + e.what(),
                            std::string(statement), e.nativeCode()),
                      e.what(), trigger.name, errorNumberOf(e));
  }
}

}  // namespace db::embedded::procedural
