#include "db/embedded/procedural/engine.h"

#include "db/core/text.h"
#include "db/embedded/embedded_connection.h"
#include "db/embedded/procedural/interpreter.h"
#include "db/embedded/procedural/parser.h"
#include "db/embedded/procedural/statement_bounds.h"
#include "db/embedded/tokenizer.h"

namespace db::embedded::procedural {
namespace {

// Batches sent through execute() are kept up to this many, as translations are.
constexpr size_t kMaxBatches = 512;

constexpr std::string_view kFindProcedure =
    "SELECT definition FROM kivtab_objects WHERE type = 'P' AND name = :NAME";

std::string displayName(std::string_view name) {
  std::string out(name);
  const size_t dot = out.rfind('.');
  if (dot != std::string::npos) out = out.substr(dot + 1);
  if (out.size() > 1 && out.front() == '[' && out.back() == ']')
    out = out.substr(1, out.size() - 2);
  return out;
}

}  // namespace

Engine::Engine(EmbeddedConnection& connection)
    : connection_(connection), spid_(connection.session().spid), triggers_(connection, *this) {}

Engine::~Engine() = default;

Engine::Nesting::Nesting(Engine& engine) : engine_(engine) {
  if (engine_.session_.nestLevel >= kMaxNesting)
    throw Error(ErrorKind::General,
                "Maximum stored procedure, function, trigger, or view nesting level exceeded "
                "(limit 32).");
  ++engine_.session_.nestLevel;
}

int64_t Engine::tranCount() const {
  if (!connection_.inTransaction()) return 0;
  return session_.tranCount > 0 ? session_.tranCount : 1;
}

void Engine::clear() {
  batches_.clear();
  procedures_.clear();
  session_.cursors.clear();
  triggers_.clear();
}

std::shared_ptr<Program> Engine::batch(const std::string& sql) {
  if (auto it = batches_.find(sql); it != batches_.end()) return it->second;
  auto program = parseBatch(sql);
  if (batches_.size() >= kMaxBatches) batches_.clear();
  batches_.emplace(sql, program);
  return program;
}

std::shared_ptr<Program> Engine::procedure(const std::string& name) {
  const std::string key = upper(name);
  auto& stored = procedures_[key];
  // The text is read again only after the schema changed; a body is parsed again only when
  // its text changed.
  if (stored.program && stored.checkedAt == connection_.generation()) return stored.program;
  auto rows = connection_.query(kFindProcedure, {{"NAME", Value(name)}});
  if (!rows->next()) {
    procedures_.erase(key);
    throw Error(ErrorKind::General, "Could not find stored procedure '" + name + "'.");
  }
  const std::string definition = rows->at(0).asText();
  rows.reset();
  if (!stored.program || stored.definition != definition) {
    stored.program = parseProcedure(definition);
    stored.definition = definition;
  }
  stored.checkedAt = connection_.generation();
  return stored.program;
}

void Engine::runBatch(const std::string& sql, const Params& params, Output& out) {
  auto program = batch(sql);
  Frame frame;
  frame.program = program;
  frame.values.resize(program->variables.size());
  for (const auto& p : params) {
    auto it = program->callerParameters.find(upper(p.name));
    if (it != program->callerParameters.end())
      frame.values[static_cast<size_t>(it->second)] = p.value;
  }
  Interpreter(*this, frame, out).run();
}

BatchResult Engine::executeBatch(std::string_view sql, const Params& params) {
  // CREATE PROCEDURE and its kin are the whole batch and go to the catalogue as they are.
  if (definesProceduralObject(significant(tokenize(sql))))
    return BatchResult{{}, {}, connection_.execute(sql, params)};
  Output out;
  runBatch(std::string(sql), params, out);
  return BatchResult{std::move(out.resultSets), std::move(out.messages), out.rowsAffected};
}

int64_t Engine::call(const std::string& rawName, std::vector<CallArgument>& args, Output& out) {
  const std::string name = displayName(rawName);
  auto program = procedure(name);
  const std::string& shown = program->objectName;
  Frame frame;
  frame.program = program;
  frame.procedure = true;
  frame.values.resize(program->variables.size());
  const size_t count = program->parameterCount;
  std::vector<int> argumentOf(count, -1);
  bool named = false;
  for (size_t i = 0; i < args.size(); ++i) {
    size_t slot = i;
    if (!args[i].name.empty()) {
      named = true;
      slot = count;
      for (size_t p = 0; p < count; ++p)
        if (iequals(program->variables[p].name, "@" + args[i].name)) slot = p;
      if (slot == count)
        throw Error(ErrorKind::General,
                    "@" + args[i].name + " is not a parameter for procedure " + shown + ".");
    } else if (named) {
      throw Error(ErrorKind::General,
                  "Must pass parameter number " + std::to_string(i + 1) +
                      " and subsequent parameters as '@name = value'. After the form '@name = "
                      "value' has been used, all subsequent parameters must be passed in the "
                      "form '@name = value'.");
    } else if (slot >= count) {
      throw Error(ErrorKind::General,
                  "Procedure or function " + shown + " has too many arguments specified.");
    }
    argumentOf[slot] = static_cast<int>(i);
  }
  for (size_t p = 0; p < count; ++p) {
    const int a = argumentOf[p];
    const auto& variable = program->variables[p];
    if (a >= 0 && !args[static_cast<size_t>(a)].isDefault) {
      frame.values[p] = assignTo(variable.type, args[static_cast<size_t>(a)].value);
      continue;
    }
    if (!program->defaults[p])
      throw Error(ErrorKind::General, "Procedure or function '" + shown + "' expects parameter '" +
                                          variable.name + "', which was not supplied.");
    Frame constants;
    constants.program = program;
    constants.values.resize(program->variables.size());
    Output ignored;
    auto rows = Interpreter(*this, constants, ignored).scalarOf(*program->defaults[p]);
    frame.values[p] = assignTo(variable.type, rows);
  }
  Nesting nesting(*this);
  try {
    Interpreter(*this, frame, out).run();
  } catch (...) {
    dropTempTables(frame);
    throw;
  }
  dropTempTables(frame);
  for (size_t p = 0; p < count; ++p) {
    const int a = argumentOf[p];
    if (a >= 0 && args[static_cast<size_t>(a)].output && program->outputs[p])
      args[static_cast<size_t>(a)].value = frame.values[p];
  }
  return frame.returnValue;
}

void Engine::dropTempTables(const Frame& frame) {
  for (const auto& table : frame.tempTables)
    connection_.run("DROP TABLE IF EXISTS temp.\"" + table + "\"", table);
}

ProcedureResult Engine::callProcedure(std::string_view name,
                                      const std::vector<ProcedureArgument>& args) {
  std::vector<CallArgument> calls;
  for (const auto& a : args) {
    std::string key = a.name;
    if (!key.empty() && key.front() == '@') key.erase(0, 1);
    calls.push_back(CallArgument{key, a.value, a.output, false});
  }
  Output out;
  ProcedureResult result;
  result.returnValue = call(std::string(name), calls, out);
  auto program = procedure(displayName(name));
  for (size_t i = 0; i < calls.size(); ++i) {
    if (!calls[i].output) continue;
    // Named as the procedure declares the parameter.
    std::string param = calls[i].name;
    for (size_t p = 0; p < program->parameterCount; ++p)
      if (param.empty() ? p == i : iequals(program->variables[p].name, "@" + param))
        param = program->variables[p].name.substr(1);
    result.outputs.push_back(Param{param, calls[i].value});
  }
  result.resultSets = std::move(out.resultSets);
  result.messages = std::move(out.messages);
  return result;
}

}  // namespace db::embedded::procedural
