#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/embedded/procedural/engine.h"
#include "db/embedded/procedural/program.h"
#include "db/embedded/procedural/session.h"

namespace db::embedded {
class EmbeddedStatement;
}

namespace db::embedded::procedural {

// Walks a parsed program in one frame: statements run through the engine's statements with the
// frame's variables bound as parameters.
class Interpreter {
 public:
  Interpreter(Engine& engine, Frame& frame, Output& out)
      : engine_(engine), session_(engine.session()), frame_(frame), out_(out) {}

  // Runs the frame's program; errors raised inside a procedure or trigger name it.
  void run();
  // The value of an expression in this frame (a parameter's default).
  Value scalarOf(Query& query) { return scalar(query); }

 private:
  enum class Flow { Next, Break, Continue, Return };

  Flow runList(std::vector<Node>& nodes);
  Flow runNode(Node& node);
  Flow runGuarded(Node& node);

  std::shared_ptr<EmbeddedStatement> bound(Query& query);
  Value valueOf(const Ref& ref) const;
  Value scalar(Query& query);
  std::vector<Value> row(Query& query);
  bool condition(Query& query);
  void assign(int slot, const Value& value);

  void sql(Node& node);
  void selectAssign(Node& node);
  void raiserror(Node& node);
  void exec(Node& node, Output& out);
  void execText(Node& node, Output& out);
  void insertExec(Node& node);
  Flow tryCatch(Node& node);
  Flow runWhile(Node& node);
  Cursor& cursor(const std::string& name, const std::string& statement);
  void declareCursor(Node& node);
  void openCursor(Node& node);
  void fetch(Node& node);
  void closeCursor(Node& node);
  void deallocateCursor(Node& node);
  void transaction(Node& node);

  Engine& engine_;
  Session& session_;
  Frame& frame_;
  Output& out_;
};

// SQL Server's error number for an engine error (2627 duplicate key, 547 constraint, ...).
int errorNumberOf(const Error& error);

}  // namespace db::embedded::procedural
