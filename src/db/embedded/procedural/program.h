#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/core/value.h"
#include "db/embedded/procedural/variable_type.h"

namespace db::embedded {
class EmbeddedStatement;
}

// A T-SQL batch or object body parsed once into a tree that the interpreter walks.
namespace db::embedded::procedural {

// What a parameter of a rewritten statement reads: a variable slot or one of the session values.
enum class Special {
  None,
  RowCount,
  Error,
  TranCount,
  Spid,
  FetchStatus,
  NestLevel,
  ErrorMessage,
  ErrorNumber,
  ErrorSeverity,
  ErrorState,
  ErrorLine,
  ErrorProcedure,
};

// The session value a statement parameter names: "@@ROWCOUNT", ..., and "@@ERROR_MESSAGE" and
// its siblings, which stand for ERROR_MESSAGE() and the other error functions. None otherwise.
Special specialNamed(std::string_view name);

// Whether the special is one of the error functions (ERROR_MESSAGE() ...).
inline bool isErrorFunction(Special s) { return s >= Special::ErrorMessage; }

struct Ref {
  int slot = -1;  // a variable when >= 0
  Special special = Special::None;
};

// One statement text run through the engine: the T-SQL with every variable written as a
// parameter. The engine statement is made on first use and kept.
struct Query {
  std::string sql;
  std::vector<Ref> refs;  // per parameter of the statement, in the statement's order
  std::shared_ptr<EmbeddedStatement> statement;
};

enum class NodeKind {
  Block,          // body
  Sql,            // query; returnsRows when it is a SELECT reporting a result set
  Declare,        // slots[0] = initial query (optional)
  DeclareTable,   // query creates the table standing for the variable
  DeclareCursor,  // name; query is the cursor's SELECT; global
  Set,            // slots[0] = query
  SelectAssign,   // slots[i] = column i of every row of query
  Option,         // SET NOCOUNT and other session options: accepted, nothing to do
  If,             // query is the condition; body[0] then, otherwise[0] else
  While,          // query is the condition; body[0]
  Break,
  Continue,
  Return,      // query (optional) is the value
  Print,       // query
  Raiserror,   // query yields message, severity, state
  TryCatch,    // body try, otherwise catch
  Exec,        // name, arguments, returnSlot
  ExecText,    // query yields the text
  InsertExec,  // query is the INSERT head; body[0] the EXEC
  Open,
  Fetch,  // name, slots
  Close,
  Deallocate,
  BeginTran,
  CommitTran,
  RollbackTran,
};

struct Argument {
  std::string name;  // parameter name without '@', as written; empty when positional
  std::unique_ptr<Query> value;
  int outputSlot = -1;  // the caller's variable receiving an OUTPUT parameter
  bool isDefault = false;
};

struct Node {
  NodeKind kind = NodeKind::Block;
  std::string text;  // the statement as written, for errors
  std::unique_ptr<Query> query;
  std::vector<int> slots;
  std::vector<Node> body;
  std::vector<Node> otherwise;
  std::string name;
  bool returnsRows = false;
  bool global = true;
  std::vector<Argument> arguments;
  int returnSlot = -1;
};

struct Variable {
  std::string name;  // with '@', as declared
  VariableType type;
};

struct Program {
  std::string objectName;  // the procedure or trigger; empty for a batch
  std::vector<Variable> variables;
  size_t parameterCount = 0;  // the first variables are the procedure's parameters
  // Per parameter: whether it is OUTPUT, and its default (null query when required).
  std::vector<bool> outputs;
  std::vector<std::unique_ptr<Query>> defaults;
  // Names of the caller's :PARAMETERS a batch reads, as variable slots (name without ':').
  std::unordered_map<std::string, int> callerParameters;
  std::vector<std::string> tempTables;  // table variables, dropped when the program ends
  Node body;
};

}  // namespace db::embedded::procedural
