#include "db/embedded/procedural/interpreter.h"

#include <sqlite3.h>

#include <stdexcept>

#include "db/core/text.h"
#include "db/embedded/embedded_connection.h"
#include "db/embedded/embedded_statement.h"

namespace db::embedded::procedural {
namespace {

struct ErrorNumber {
  ErrorKind kind;
  int number;
};

constexpr ErrorNumber kErrorNumbers[] = {
    {ErrorKind::DuplicateKey, 2627}, {ErrorKind::Constraint, 547}, {ErrorKind::Conversion, 241},
    {ErrorKind::Syntax, 102},        {ErrorKind::Busy, 1222},      {ErrorKind::General, 50000},
};

constexpr int kRaiserrorNumber = 50000;
constexpr int kNotANumber = 245;

// The parameter name a statement gives a variable, back to the variable's name.
std::string variableKey(const std::string& parameter) {
  std::string key = upper(parameter);
  if (key.size() > 2 && key[key.size() - 2] == '$') key.resize(key.size() - 2);
  return key;
}

std::vector<Ref> resolve(const Program& program, const std::vector<std::string>& names) {
  std::vector<Ref> refs;
  for (const auto& name : names) {
    const std::string key = variableKey(name);
    Ref ref;
    ref.special = specialNamed(key);
    if (ref.special == Special::None) {
      if (auto it = program.callerParameters.find(key); it != program.callerParameters.end()) {
        ref.slot = it->second;
      } else {
        for (size_t i = 0; i < program.variables.size() && ref.slot < 0; ++i)
          if (iequals(program.variables[i].name, key)) ref.slot = static_cast<int>(i);
      }
    }
    refs.push_back(ref);
  }
  return refs;
}

// "%s" and "%d" (and their width forms) take the arguments in turn, as RAISERROR formats.
std::string formatMessage(const std::string& format, const std::vector<Value>& args) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      out += format[i];
      continue;
    }
    if (format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t k = i + 1;
    while (k < format.size() &&
           std::string_view("-+ #0123456789.*l").find(format[k]) != std::string_view::npos)
      ++k;
    if (k >= format.size()) {
      out += format.substr(i);
      break;
    }
    out += next < args.size() ? (args[next].isNull() ? "(null)" : args[next].asText()) : "";
    ++next;
    i = k;
  }
  return out;
}

Error asError(const std::exception& e, const std::string& statement) {
  if (auto* error = dynamic_cast<const Error*>(&e)) return *error;
  return Error(ErrorKind::Conversion, e.what(), statement);
}

}  // namespace

int errorNumberOf(const Error& error) {
  if (auto* object = dynamic_cast<const ObjectError*>(&error)) return object->number();
  // A text that is not a number; 241 is the one that is not a date.
  if (error.kind() == ErrorKind::Conversion &&
      std::string_view(error.what()).find("date") == std::string_view::npos)
    return kNotANumber;
  for (const auto& n : kErrorNumbers)
    if (n.kind == error.kind()) return n.number;
  return kRaiserrorNumber;
}

void Interpreter::run() {
  try {
    runList(frame_.program->body.body);
  } catch (...) {
    for (const auto& table : frame_.program->tempTables)
      engine_.connection().run("DROP TABLE IF EXISTS temp.\"" + table + "\"", table);
    throw;
  }
  for (const auto& table : frame_.program->tempTables)
    engine_.connection().run("DROP TABLE IF EXISTS temp.\"" + table + "\"", table);
}

Interpreter::Flow Interpreter::runList(std::vector<Node>& nodes) {
  for (auto& node : nodes) {
    const Flow flow = runGuarded(node);
    if (flow != Flow::Next) return flow;
  }
  return Flow::Next;
}

Interpreter::Flow Interpreter::runGuarded(Node& node) {
  const std::string& object = frame_.program->objectName;
  try {
    return runNode(node);
  } catch (const ObjectError&) {
    session_.error = 0;
    throw;
  } catch (const std::exception& e) {
    Error error = asError(e, node.text);
    if (error.statement().empty())
      error = Error(error.kind(), error.what(), node.text, error.nativeCode());
    session_.error = errorNumberOf(error);
    if (object.empty()) throw error;
    const std::string kind = frame_.procedure ? "procedure" : "trigger";
    throw ObjectError(
        Error(error.kind(),
              "In " + kind + " '" + object + "', statement '" + node.text + "': " + error.what(),
              node.text, error.nativeCode()),
        error.what(), object, errorNumberOf(error));
  }
}

Interpreter::Flow Interpreter::runNode(Node& node) {
  switch (node.kind) {
    case NodeKind::Block:
      return runList(node.body);
    case NodeKind::Sql:
      sql(node);
      break;
    case NodeKind::Declare:
      if (node.query) assign(node.slots[0], scalar(*node.query));
      break;
    case NodeKind::DeclareTable:
      engine_.connection().run("DROP TABLE IF EXISTS temp.\"" + node.name + "\"", node.text);
      bound(*node.query)->execute();
      break;
    case NodeKind::DeclareCursor:
      declareCursor(node);
      break;
    case NodeKind::Set:
      assign(node.slots[0], scalar(*node.query));
      session_.rowCount = 1;
      break;
    case NodeKind::SelectAssign:
      selectAssign(node);
      break;
    case NodeKind::Option:
      // SET options, PRINT, CLOSE, DEALLOCATE and transaction statements zero @@ROWCOUNT.
      session_.rowCount = 0;
      break;
    case NodeKind::If:
      if (condition(*node.query)) return runGuarded(node.body[0]);
      if (!node.otherwise.empty()) return runGuarded(node.otherwise[0]);
      break;
    case NodeKind::While:
      return runWhile(node);
    case NodeKind::Break:
      return Flow::Break;
    case NodeKind::Continue:
      return Flow::Continue;
    case NodeKind::Return:
      if (node.query) frame_.returnValue = scalar(*node.query).asInt();
      return Flow::Return;
    case NodeKind::Print:
      out_.messages.push_back(scalar(*node.query).asText());
      session_.rowCount = 0;
      break;
    case NodeKind::Raiserror:
      raiserror(node);
      break;
    case NodeKind::TryCatch:
      return tryCatch(node);
    case NodeKind::Exec:
      exec(node, out_);
      break;
    case NodeKind::ExecText:
      execText(node, out_);
      break;
    case NodeKind::InsertExec:
      insertExec(node);
      break;
    case NodeKind::Open:
      openCursor(node);
      break;
    case NodeKind::Fetch:
      fetch(node);
      break;
    case NodeKind::Close:
      closeCursor(node);
      break;
    case NodeKind::Deallocate:
      deallocateCursor(node);
      break;
    case NodeKind::BeginTran:
    case NodeKind::CommitTran:
    case NodeKind::RollbackTran:
      transaction(node);
      session_.rowCount = 0;
      break;
  }
  return Flow::Next;
}

// BREAK ends the loop and is spent there; RETURN goes on up.
Interpreter::Flow Interpreter::runWhile(Node& node) {
  while (condition(*node.query)) {
    const Flow flow = runGuarded(node.body[0]);
    if (flow == Flow::Break) break;
    if (flow == Flow::Return) return flow;
  }
  return Flow::Next;
}

std::shared_ptr<EmbeddedStatement> Interpreter::bound(Query& query) {
  std::shared_ptr<EmbeddedStatement> statement = query.statement;
  // A statement still running further up (a recursive call) is left alone: a fresh one runs.
  if (!statement || statement->busy() || statement->active()) {
    statement = std::make_shared<EmbeddedStatement>(engine_.connection(), query.sql);
    if (!query.statement) {
      query.refs = resolve(*frame_.program, statement->parameterNames());
      query.statement = statement;
    }
  }
  for (size_t i = 0; i < query.refs.size(); ++i) statement->bind(i, valueOf(query.refs[i]));
  return statement;
}

Value Interpreter::valueOf(const Ref& ref) const {
  if (ref.slot >= 0) return frame_.values[static_cast<size_t>(ref.slot)];
  const CaughtError* caught = frame_.caught ? &*frame_.caught : nullptr;
  switch (ref.special) {
    case Special::RowCount:
      return session_.rowCount;
    case Special::Error:
      return session_.error;
    case Special::TranCount:
      return engine_.tranCount();
    case Special::Spid:
      return engine_.spid();
    case Special::FetchStatus:
      return session_.fetchStatus;
    case Special::NestLevel:
      return int64_t{session_.nestLevel};
    case Special::ErrorMessage:
      return caught ? Value(caught->message) : Value();
    case Special::ErrorNumber:
      return caught ? Value(caught->number) : Value();
    case Special::ErrorSeverity:
      return caught ? Value(caught->severity) : Value();
    case Special::ErrorState:
      return caught ? Value(caught->state) : Value();
    case Special::ErrorLine:
      return caught ? Value(int64_t{1}) : Value();
    case Special::ErrorProcedure:
      return caught && !caught->procedure.empty() ? Value(caught->procedure) : Value();
    case Special::None:
      break;
  }
  return Value();
}

Value Interpreter::scalar(Query& query) {
  auto statement = bound(query);
  auto rows = statement->query();
  if (!rows->next()) return Value();
  return rows->at(0);
}

bool Interpreter::condition(Query& query) {
  const Value v = scalar(query);
  return !v.isNull() && v.asInt() != 0;
}

void Interpreter::assign(int slot, const Value& value) {
  const auto& variable = frame_.program->variables[static_cast<size_t>(slot)];
  frame_.values[static_cast<size_t>(slot)] = assignTo(variable.type, value);
}

void Interpreter::sql(Node& node) {
  auto statement = bound(*node.query);
  if (!node.returnsRows) {
    const int64_t changed = statement->execute();
    session_.rowCount = changed;
    out_.rowsAffected = changed;
    if (!node.name.empty() && frame_.procedure) frame_.tempTables.push_back(node.name);
    session_.error = 0;
    return;
  }
  auto rows = statement->query();
  ResultSet set;
  set.columns = rows->columns();
  const size_t width = set.columns.size();
  while (rows->next()) {
    std::vector<Value> values;
    values.reserve(width);
    for (size_t i = 0; i < width; ++i) values.push_back(rows->at(i));
    set.rows.push_back(std::move(values));
  }
  session_.rowCount = static_cast<int64_t>(set.rows.size());
  session_.error = 0;
  out_.resultSets.push_back(std::move(set));
}

void Interpreter::selectAssign(Node& node) {
  auto statement = bound(*node.query);
  auto rows = statement->query();
  int64_t count = 0;
  // Every row assigns in turn, so the last one's values remain; no row leaves them unchanged.
  while (rows->next()) {
    for (size_t i = 0; i < node.slots.size(); ++i) assign(node.slots[i], rows->at(i));
    ++count;
  }
  session_.rowCount = count;
  session_.error = 0;
}

void Interpreter::raiserror(Node& node) {
  const std::vector<Value> values = row(*node.query);
  const std::string message =
      formatMessage(values[0].asText(), std::vector<Value>(values.begin() + 3, values.end()));
  const int64_t severity = values[1].asInt();
  if (severity <= 10) {
    out_.messages.push_back(message);
    return;
  }
  // General errors carry number 50000, RAISERROR's own.
  throw Error(ErrorKind::General, message, node.text);
}

std::vector<Value> Interpreter::row(Query& query) {
  auto statement = bound(query);
  auto rows = statement->query();
  std::vector<Value> values;
  if (!rows->next()) return values;
  for (size_t i = 0; i < rows->columns().size(); ++i) values.push_back(rows->at(i));
  return values;
}

Interpreter::Flow Interpreter::tryCatch(Node& node) {
  const auto savedCaught = frame_.caught;
  try {
    return runList(node.body);
  } catch (const std::exception& e) {
    const Error error = asError(e, node.text);
    CaughtError caught;
    if (auto* object = dynamic_cast<const ObjectError*>(&e)) {
      caught.message = object->original();
      caught.procedure = object->object();
    } else {
      caught.message = error.what();
    }
    caught.number = errorNumberOf(error);
    frame_.caught = caught;
  }
  const Flow flow = runList(node.otherwise);
  frame_.caught = savedCaught;
  return flow;
}

void Interpreter::exec(Node& node, Output& out) {
  std::vector<CallArgument> args;
  args.reserve(node.arguments.size());
  for (auto& a : node.arguments) {
    CallArgument arg;
    arg.name = a.name;
    arg.isDefault = a.isDefault;
    arg.output = a.outputSlot >= 0;
    if (a.value) arg.value = scalar(*a.value);
    args.push_back(std::move(arg));
  }
  const int64_t result = engine_.call(node.name, args, out);
  for (size_t i = 0; i < args.size(); ++i)
    if (node.arguments[i].outputSlot >= 0) assign(node.arguments[i].outputSlot, args[i].value);
  if (node.returnSlot >= 0) assign(node.returnSlot, result);
}

void Interpreter::execText(Node& node, Output& out) {
  const Value text = scalar(*node.query);
  if (text.isNull()) return;
  engine_.runBatch(text.asText(), {}, out);
}

void Interpreter::insertExec(Node& node) {
  Output captured;
  Node& call = node.body[0];
  if (call.kind == NodeKind::Exec)
    exec(call, captured);
  else
    execText(call, captured);
  out_.messages.insert(out_.messages.end(), captured.messages.begin(), captured.messages.end());
  int64_t inserted = 0;
  for (const auto& set : captured.resultSets) {
    if (set.rows.empty()) continue;
    std::string sql = node.query->sql + " VALUES (";
    for (size_t i = 0; i < set.columns.size(); ++i)
      sql += (i ? ", :C" : ":C") + std::to_string(i + 1);
    sql += ")";
    Statement& insert = engine_.connection().prepare(sql);
    for (const auto& values : set.rows) {
      for (size_t i = 0; i < values.size(); ++i) insert.bind(i, values[i]);
      inserted += insert.execute();
    }
  }
  session_.rowCount = inserted;
  out_.rowsAffected = inserted;
}

Cursor& Interpreter::cursor(const std::string& name, const std::string& statement) {
  if (auto it = frame_.cursors.find(name); it != frame_.cursors.end()) return it->second;
  if (auto it = session_.cursors.find(name); it != session_.cursors.end()) return it->second;
  throw Error(ErrorKind::General, "A cursor with the name '" + name + "' does not exist.",
              statement);
}

void Interpreter::declareCursor(Node& node) {
  auto& cursors = node.global ? session_.cursors : frame_.cursors;
  if (cursors.count(node.name))
    throw Error(ErrorKind::General, "A cursor with the name '" + node.name + "' already exists.",
                node.text);
  Cursor c;
  c.program = frame_.program;
  c.select = node.query.get();
  cursors.emplace(node.name, std::move(c));
}

// The rows are read whole when the cursor opens: writes made while fetching do not change them.
void Interpreter::openCursor(Node& node) {
  Cursor& c = cursor(node.name, node.text);
  if (c.open) throw Error(ErrorKind::General, "The cursor is already open.", node.text);
  c.rows.clear();
  c.next = 0;
  auto rows = bound(*c.select)->query();
  const size_t width = rows->columns().size();
  while (rows->next()) {
    std::vector<Value> values;
    for (size_t i = 0; i < width; ++i) values.push_back(rows->at(i));
    c.rows.push_back(std::move(values));
  }
  c.open = true;
  session_.rowCount = static_cast<int64_t>(c.rows.size());
}

void Interpreter::closeCursor(Node& node) {
  Cursor& c = cursor(node.name, node.text);
  if (!c.open) throw Error(ErrorKind::General, "The cursor is not open.", node.text);
  c.open = false;
  c.rows.clear();
  session_.rowCount = 0;
}

void Interpreter::deallocateCursor(Node& node) {
  cursor(node.name, node.text);
  if (!frame_.cursors.erase(node.name)) session_.cursors.erase(node.name);
  session_.rowCount = 0;
}

void Interpreter::fetch(Node& node) {
  Cursor& c = cursor(node.name, node.text);
  if (!c.open) throw Error(ErrorKind::General, "The cursor is not open.", node.text);
  if (c.next >= c.rows.size()) {
    session_.fetchStatus = -1;
    return;
  }
  const auto& values = c.rows[c.next++];
  if (!node.slots.empty() && node.slots.size() != values.size())
    throw Error(ErrorKind::General,
                "The number of variables declared in the INTO list must match that of selected "
                "columns.",
                node.text);
  for (size_t i = 0; i < node.slots.size(); ++i) assign(node.slots[i], values[i]);
  session_.fetchStatus = 0;
}

void Interpreter::transaction(Node& node) {
  auto& connection = engine_.connection();
  switch (node.kind) {
    case NodeKind::BeginTran:
      if (!connection.inTransaction()) connection.begin();
      ++session_.tranCount;
      break;
    case NodeKind::CommitTran:
      if (engine_.tranCount() == 0)
        throw Error(ErrorKind::General,
                    "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.",
                    node.text);
      if (session_.tranCount > 1) {
        --session_.tranCount;
      } else {
        session_.tranCount = 0;
        connection.commit();
      }
      break;
    default:
      if (engine_.tranCount() == 0)
        throw Error(ErrorKind::General,
                    "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.",
                    node.text);
      session_.tranCount = 0;
      connection.rollback();
      if (engine_.triggers().firing())
        throw Error(ErrorKind::General,
                    "The transaction ended in the trigger. The batch has been aborted.", node.text);
      break;
  }
}

}  // namespace db::embedded::procedural
