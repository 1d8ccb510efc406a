#include "db/embedded/procedural/parser.h"

#include <unordered_map>
#include <utility>

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/procedural/statement_bounds.h"
#include "db/embedded/tokenizer.h"

namespace db::embedded::procedural {
namespace {

// Session options a body may set; they change nothing the engine does.
constexpr std::string_view kOptions[] = {
    "NOCOUNT",
    "XACT_ABORT",
    "ANSI_NULLS",
    "ANSI_WARNINGS",
    "ANSI_PADDING",
    "QUOTED_IDENTIFIER",
    "ARITHABORT",
    "CONCAT_NULL_YIELDS_NULL",
    "NUMERIC_ROUNDABORT",
    "DATEFORMAT",
    "DATEFIRST",
    "LANGUAGE",
    "TRANSACTION",
    "LOCK_TIMEOUT",
    "DEADLOCK_PRIORITY",
    "ANSI_NULL_DFLT_ON",
};

constexpr std::string_view kUnsupportedStatements[] = {"GOTO", "THROW",   "MERGE",
                                                       "USE",  "WAITFOR", "SAVE"};

// Table variables live as temporary tables named after the object declaring them, so that a
// procedure calling another does not meet its caller's.
std::string tableVariableName(const std::string& scope, std::string_view variable) {
  std::string name = "#@";
  for (char c : scope)
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') name += c;
  name += '$';
  name += variable.substr(1);
  return name;
}

class Parser {
 public:
  Parser(std::string_view sql, Program& program)
      : sql_(sql), tokens_(significant(tokenize(sql))), program_(program) {}

  std::vector<Token>& tokens() { return tokens_; }
  void changedTable(std::string table) { changedTable_ = std::move(table); }
  void seek(size_t pos) { pos_ = pos; }

  // Statements up to the end of the text.
  Node parseRest() {
    Node block;
    block.kind = NodeKind::Block;
    block.body = list();
    if (pos_ < tokens_.size()) syntax("END without BEGIN", pos_);
    return block;
  }

  int declare(const std::string& name, VariableType type) {
    const std::string key = upper(name);
    if (slots_.count(key))
      throw Error(ErrorKind::General,
                  "The variable name '" + name +
                      "' has already been declared. Variable names must be unique within a "
                      "query batch or stored procedure.",
                  std::string(sql_));
    const int slot = static_cast<int>(program_.variables.size());
    program_.variables.push_back(Variable{name, std::move(type)});
    slots_[key] = slot;
    return slot;
  }

  void registerCallerParameters() {
    for (const auto& t : tokens_) {
      if (t.kind != TokenKind::Parameter) continue;
      const std::string key = upper(t.value());
      if (program_.callerParameters.count(key)) continue;
      program_.callerParameters[key] = static_cast<int>(program_.variables.size());
      program_.variables.push_back(Variable{key, VariableType{}});
    }
  }

  // "@p [AS] type [VARYING] [= default] [OUT | OUTPUT | READONLY]" between [begin, end).
  void parameter(size_t begin, size_t end) {
    size_t i = begin;
    const Token& name = tokens_[i++];
    if (name.kind != TokenKind::Word || name.text.front() != '@')
      syntax("a parameter name starting with @ expected", begin);
    if (i < end && tokens_[i].is("AS")) ++i;
    size_t typeEnd = i;
    while (typeEnd < end && !tokens_[typeEnd].isSymbol("=") && !tokens_[typeEnd].is("OUT") &&
           !tokens_[typeEnd].is("OUTPUT") && !tokens_[typeEnd].is("VARYING") &&
           !tokens_[typeEnd].is("READONLY"))
      ++typeEnd;
    if (typeEnd == i) syntax("a type expected for " + std::string(name.text), begin);
    declare(std::string(name.text), variableTypeOf(source(i, typeEnd)));
    size_t k = typeEnd;
    if (k < end && tokens_[k].is("VARYING")) ++k;
    std::unique_ptr<Query> fallback;
    if (k < end && tokens_[k].isSymbol("=")) {
      const size_t valueBegin = ++k;
      while (k < end && !tokens_[k].is("OUT") && !tokens_[k].is("OUTPUT") &&
             !tokens_[k].is("READONLY"))
        ++k;
      fallback = query("SELECT " + rewrite(valueBegin, k));
    }
    bool output = false;
    if (k < end && (tokens_[k].is("OUT") || tokens_[k].is("OUTPUT"))) output = ++k;
    if (k < end && tokens_[k].is("READONLY")) unsupported("table-valued parameters", begin);
    if (k != end) syntax("unexpected text in the parameter " + std::string(name.text), k);
    program_.outputs.push_back(output);
    program_.defaults.push_back(std::move(fallback));
    ++program_.parameterCount;
  }

  std::string_view source(size_t begin, size_t end) const {
    if (begin >= end) return {};
    const size_t from = tokens_[begin].offset;
    const size_t to = tokens_[end - 1].offset + tokens_[end - 1].text.size();
    return sql_.substr(from, to - from);
  }

  [[noreturn]] void syntax(const std::string& what, size_t at) const {
    throw Error(ErrorKind::Syntax, "Incorrect syntax: " + what + nearText(at), std::string(sql_));
  }
  [[noreturn]] void unsupported(const std::string& what, size_t at) const {
    throw Error(ErrorKind::Unsupported,
                "The embedded database engine does not support " + what + nearText(at),
                std::string(sql_));
  }

 private:
  std::string nearText(size_t at) const {
    if (at >= tokens_.size()) return " at the end of the text";
    return " near '" + std::string(tokens_[at].text) + "'";
  }

  bool is(size_t i, std::string_view word) const {
    return i < tokens_.size() && tokens_[i].is(word);
  }
  bool isSymbol(size_t i, std::string_view s) const {
    return i < tokens_.size() && tokens_[i].isSymbol(s);
  }
  bool isVariable(size_t i) const {
    return i < tokens_.size() && tokens_[i].kind == TokenKind::Word &&
           tokens_[i].text.front() == '@' && !tokens_[i].text.starts_with("@@");
  }

  int slotOf(size_t i) const {
    const std::string key = upper(tokens_[i].text);
    auto it = slots_.find(key);
    if (it == slots_.end())
      throw Error(ErrorKind::General,
                  "Must declare the scalar variable \"" + std::string(tokens_[i].text) + "\".",
                  std::string(sql_));
    return it->second;
  }

  // The text of [begin, end) with every variable written as a parameter: ":@NAME", marked
  // "$T" for a character variable and "$D" for a date-time, so that the translator knows what
  // '+' and comparisons with it mean; table variables as their temporary tables.
  std::string rewrite(size_t begin, size_t end) const {
    if (begin >= end) return {};
    std::string out;
    size_t copied = tokens_[begin].offset;
    auto replace = [&](size_t first, size_t last, const std::string& with) {
      out.append(sql_.substr(copied, tokens_[first].offset - copied));
      out += with;
      copied = tokens_[last].offset + tokens_[last].text.size();
    };
    for (size_t i = begin; i < end; ++i) {
      const Token& t = tokens_[i];
      if (t.kind != TokenKind::Word) continue;
      if (t.text.front() == '@') {
        replace(i, i, variableText(i));
        continue;
      }
      if (!changedTable_.empty() && (t.is("INSERTED") || t.is("DELETED"))) {
        replace(i, i,
                "[" +
                    (t.is("INSERTED") ? ChangeStack::insertedName(changedTable_)
                                      : ChangeStack::deletedName(changedTable_)) +
                    "]");
        continue;
      }
      if (isSymbol(i + 1, "(") && isSymbol(i + 2, ")") &&
          isErrorFunction(specialNamed("@@" + upper(t.text)))) {
        replace(i, i + 2, ":@@" + upper(t.text));
        i += 2;
      }
    }
    const Token& last = tokens_[end - 1];
    out.append(sql_.substr(copied, last.offset + last.text.size() - copied));
    return out;
  }

  std::string variableText(size_t i) const {
    const Token& t = tokens_[i];
    const std::string key = upper(t.text);
    if (key.starts_with("@@")) {
      if (specialNamed(key) != Special::None) return ":" + key;
      if (key == "@@IDENTITY") return "last_insert_rowid()";
      unsupported("the function " + key, i);
    }
    if (auto table = tables_.find(key); table != tables_.end()) return table->second;
    const VariableType& type = program_.variables[static_cast<size_t>(slotOf(i))].type;
    return ":" + key + (type.isText() ? "$T" : type.isDate() ? "$D" : "");
  }

  std::unique_ptr<Query> query(std::string sql) const {
    auto q = std::make_unique<Query>();
    q->sql = std::move(sql);
    return q;
  }

  Node node(NodeKind kind, size_t begin, size_t end) const {
    Node n;
    n.kind = kind;
    n.text = std::string(source(begin, end));
    return n;
  }

  // Statements up to END (not consumed) or the end of the text.
  std::vector<Node> list() {
    std::vector<Node> out;
    for (;;) {
      while (isSymbol(pos_, ";")) ++pos_;
      if (pos_ >= tokens_.size() || is(pos_, "END")) return out;
      out.push_back(statement());
    }
  }

  void expectEnd(size_t begin, std::string_view what) {
    if (pos_ >= tokens_.size()) syntax("the " + std::string(what) + " has no END", begin);
    ++pos_;
  }

  Node statement() {
    const size_t begin = pos_;
    const Token& t = tokens_[pos_];
    if (t.is("BEGIN")) {
      if (is(pos_ + 1, "TRY")) return tryCatch();
      if (is(pos_ + 1, "TRAN") || is(pos_ + 1, "TRANSACTION") || is(pos_ + 1, "DISTRIBUTED"))
        return simple(NodeKind::BeginTran);
      ++pos_;
      Node block = node(NodeKind::Block, begin, begin + 1);
      block.body = list();
      expectEnd(begin, "BEGIN block");
      return block;
    }
    if (t.is("IF") || t.is("WHILE")) return conditional();
    if (t.is("DECLARE")) return declareStatement();
    if (t.is("SET")) return setStatement();
    if (t.is("SELECT")) return selectStatement();
    if (t.is("EXEC") || t.is("EXECUTE")) return execStatement(pos_, statementEnd(tokens_, pos_));
    if (t.is("INSERT")) return insertStatement();
    if (t.is("PRINT")) return expressionStatement(NodeKind::Print);
    if (t.is("RETURN")) return expressionStatement(NodeKind::Return);
    if (t.is("RAISERROR")) return raiserror();
    if (t.is("BREAK")) return simple(NodeKind::Break);
    if (t.is("CONTINUE")) return simple(NodeKind::Continue);
    if (t.is("COMMIT")) return simple(NodeKind::CommitTran);
    if (t.is("ROLLBACK")) return simple(NodeKind::RollbackTran);
    if (t.is("OPEN")) return cursorStatement(NodeKind::Open);
    if (t.is("CLOSE")) return cursorStatement(NodeKind::Close);
    if (t.is("DEALLOCATE")) return cursorStatement(NodeKind::Deallocate);
    if (t.is("FETCH")) return fetch();
    if (t.is("ELSE")) syntax("ELSE without IF", pos_);
    if ((t.is("CREATE") || t.is("ALTER")) &&
        definesProceduralObject({tokens_.begin() + static_cast<long>(pos_), tokens_.end()}))
      unsupported(upper(t.text) +
                      " of a procedure, trigger or view after other statements of "
                      "a batch (it must be the batch's only statement)",
                  pos_);
    for (auto word : kUnsupportedStatements)
      if (t.is(word)) unsupported("the statement " + upper(t.text), pos_);
    return sqlStatement();
  }

  Node simple(NodeKind kind) {
    const size_t begin = pos_;
    pos_ = kind == NodeKind::Break || kind == NodeKind::Continue ? pos_ + 1
                                                                 : statementEnd(tokens_, pos_);
    return node(kind, begin, pos_);
  }

  Node sqlStatement() {
    const size_t begin = pos_;
    pos_ = statementEnd(tokens_, begin);
    Node n = node(NodeKind::Sql, begin, pos_);
    n.query = query(rewrite(begin, pos_));
    const Token& first = tokens_[begin];
    // DBCC INPUTBUFFER answers rows like a SELECT.
    n.returnsRows = first.is("DBCC") ||
                    ((first.is("SELECT") || first.is("WITH")) && !hasTopLevel(begin, pos_, "INTO"));
    n.name = createdTempTable(begin, pos_);
    return n;
  }

  bool hasTopLevel(size_t begin, size_t end, std::string_view word) const {
    int depth = 0;
    for (size_t i = begin; i < end; ++i) {
      if (tokens_[i].isSymbol("(")) ++depth;
      if (tokens_[i].isSymbol(")")) --depth;
      if (depth == 0 && tokens_[i].is(word)) return true;
    }
    return false;
  }

  // CREATE TABLE #t or SELECT ... INTO #t: the temporary table the statement makes.
  std::string createdTempTable(size_t begin, size_t end) const {
    for (size_t i = begin; i + 1 < end; ++i)
      if ((tokens_[i].is("TABLE") || tokens_[i].is("INTO")) &&
          tokens_[i + 1].kind == TokenKind::Word && tokens_[i + 1].text.front() == '#' &&
          (tokens_[begin].is("CREATE") || tokens_[begin].is("SELECT")))
        return std::string(tokens_[i + 1].text);
    return {};
  }

  Node conditional() {
    const size_t begin = pos_;
    const bool loop = tokens_[pos_].is("WHILE");
    const size_t condEnd = conditionEnd(tokens_, begin + 1);
    if (condEnd == begin + 1) syntax("a condition expected", begin + 1);
    if (condEnd >= tokens_.size())
      syntax(std::string(loop ? "WHILE" : "IF") + " without a statement", condEnd);
    Node n = node(loop ? NodeKind::While : NodeKind::If, begin, condEnd);
    n.query = query("SELECT CASE WHEN " + rewrite(begin + 1, condEnd) + " THEN 1 ELSE 0 END");
    pos_ = condEnd;
    if (is(pos_, "END") || is(pos_, "ELSE")) syntax("a statement expected", pos_);
    n.body.push_back(statement());
    if (!loop) {
      size_t next = pos_;
      while (isSymbol(next, ";")) ++next;
      if (is(next, "ELSE")) {
        pos_ = next + 1;
        if (pos_ >= tokens_.size() || is(pos_, "END")) syntax("a statement expected", pos_);
        n.otherwise.push_back(statement());
      }
    }
    return n;
  }

  Node tryCatch() {
    const size_t begin = pos_;
    pos_ += 2;
    Node n = node(NodeKind::TryCatch, begin, begin + 2);
    n.body = list();
    expectEnd(begin, "BEGIN TRY block");
    if (!is(pos_, "TRY")) syntax("END TRY expected", pos_);
    ++pos_;
    while (isSymbol(pos_, ";")) ++pos_;
    if (!is(pos_, "BEGIN") || !is(pos_ + 1, "CATCH"))
      syntax("BEGIN CATCH expected after END TRY", pos_);
    const size_t catchBegin = pos_;
    pos_ += 2;
    n.otherwise = list();
    expectEnd(catchBegin, "BEGIN CATCH block");
    if (!is(pos_, "CATCH")) syntax("END CATCH expected", pos_);
    ++pos_;
    return n;
  }

  std::vector<std::pair<size_t, size_t>> splitCommas(size_t begin, size_t end) const {
    std::vector<std::pair<size_t, size_t>> out;
    int depth = 0;
    size_t start = begin;
    for (size_t i = begin; i < end; ++i) {
      if (tokens_[i].isSymbol("(")) ++depth;
      if (tokens_[i].isSymbol(")")) --depth;
      if (depth == 0 && tokens_[i].isSymbol(",")) {
        out.emplace_back(start, i);
        start = i + 1;
      }
    }
    if (start < end) out.emplace_back(start, end);
    return out;
  }

  Node declareStatement() {
    const size_t begin = pos_;
    const size_t end = statementEnd(tokens_, begin);
    pos_ = end;
    if (begin + 1 >= end) syntax("a variable expected", begin + 1);
    if (!isVariable(begin + 1)) return cursorDeclaration(begin, end);
    Node block = node(NodeKind::Block, begin, end);
    for (auto [from, to] : splitCommas(begin + 1, end)) {
      if (!isVariable(from)) syntax("a variable expected", from);
      const std::string name(tokens_[from].text);
      size_t i = from + 1;
      if (is(i, "AS")) ++i;
      if (is(i, "TABLE")) {
        Node table = node(NodeKind::DeclareTable, from, to);
        const std::string temp = tableVariableName(program_.objectName, name);
        tables_[upper(name)] = temp;
        table.name = temp;
        table.query = query("CREATE TABLE " + temp + " " + rewrite(i + 1, to));
        program_.tempTables.push_back(temp);
        block.body.push_back(std::move(table));
        continue;
      }
      if (is(i, "CURSOR")) unsupported("cursor variables", i);
      size_t typeEnd = i;
      while (typeEnd < to && !tokens_[typeEnd].isSymbol("=")) ++typeEnd;
      if (typeEnd == i) syntax("a type expected for " + name, i);
      std::unique_ptr<Query> init;
      if (typeEnd < to) {
        if (typeEnd + 1 >= to) syntax("a value expected for " + name, typeEnd);
        init = query("SELECT " + rewrite(typeEnd + 1, to));
      }
      Node declaration = node(NodeKind::Declare, from, to);
      declaration.slots.push_back(declare(name, variableTypeOf(source(i, typeEnd))));
      declaration.query = std::move(init);
      block.body.push_back(std::move(declaration));
    }
    return block;
  }

  // DECLARE name CURSOR [LOCAL | GLOBAL] [options] FOR select [FOR READ ONLY | FOR UPDATE ...]
  Node cursorDeclaration(size_t begin, size_t end) {
    Node n = node(NodeKind::DeclareCursor, begin, end);
    size_t i = begin + 1;
    n.name = upper(tokens_[i++].value());
    if (is(i, "INSENSITIVE") || is(i, "SCROLL")) ++i;
    if (!is(i, "CURSOR")) syntax("CURSOR expected", i);
    ++i;
    while (i < end && !is(i, "FOR")) {
      if (is(i, "LOCAL")) n.global = false;
      ++i;
    }
    if (i >= end) syntax("FOR and a SELECT expected", i);
    const size_t selectBegin = ++i;
    size_t selectEnd = end;
    for (size_t k = selectBegin; k + 1 < end; ++k)
      if (tokens_[k].is("FOR") && (is(k + 1, "READ") || is(k + 1, "UPDATE"))) selectEnd = k;
    n.query = query(rewrite(selectBegin, selectEnd));
    return n;
  }

  Node setStatement() {
    const size_t begin = pos_;
    const size_t end = statementEnd(tokens_, begin);
    pos_ = end;
    if (!isVariable(begin + 1)) {
      if (begin + 1 < end && tokens_[begin + 1].kind == TokenKind::Word) {
        for (auto option : kOptions)
          if (tokens_[begin + 1].is(option)) return node(NodeKind::Option, begin, end);
        if (tokens_[begin + 1].is("ROWCOUNT") && begin + 2 < end && tokens_[begin + 2].text == "0")
          return node(NodeKind::Option, begin, end);
      }
      unsupported("SET " + std::string(begin + 1 < end ? tokens_[begin + 1].text : ""), begin + 1);
    }
    Node n = node(NodeKind::Set, begin, end);
    n.slots.push_back(slotOf(begin + 1));
    size_t i = begin + 2;
    std::string op;
    if (i < end && tokens_[i].kind == TokenKind::Symbol && !tokens_[i].isSymbol("=") &&
        isSymbol(i + 1, "=")) {
      op = std::string(tokens_[i].text);
      ++i;
    }
    if (!isSymbol(i, "=")) syntax("= expected", i);
    if (i + 1 >= end) syntax("a value expected", i + 1);
    const std::string value = rewrite(i + 1, end);
    n.query =
        query(op.empty() ? "SELECT " + value
                         : "SELECT " + variableText(begin + 1) + " " + op + " (" + value + ")");
    return n;
  }

  Node selectStatement() {
    const size_t begin = pos_;
    const size_t end = statementEnd(tokens_, begin);
    size_t i = begin + 1;
    if (is(i, "DISTINCT") || is(i, "ALL")) ++i;
    if (is(i, "TOP")) {
      ++i;
      if (isSymbol(i, "(")) {
        int depth = 0;
        do {
          if (isSymbol(i, "(")) ++depth;
          if (isSymbol(i, ")")) --depth;
          ++i;
        } while (depth > 0 && i < end);
      } else {
        ++i;
      }
    }
    if (!(isVariable(i) && isSymbol(i + 1, "="))) return sqlStatement();
    pos_ = end;
    size_t listEnd = i;
    {
      int depth = 0;
      int cases = 0;
      for (; listEnd < end; ++listEnd) {
        const Token& t = tokens_[listEnd];
        if (t.isSymbol("(")) ++depth;
        if (t.isSymbol(")")) --depth;
        if (depth != 0) continue;
        if (t.is("CASE")) ++cases;
        if (t.is("END") && cases > 0) --cases;
        if (cases == 0 && (t.is("FROM") || t.is("WHERE") || t.is("GROUP") || t.is("ORDER") ||
                           t.is("HAVING") || t.is("UNION") || t.is("INTO")))
          break;
      }
    }
    Node n = node(NodeKind::SelectAssign, begin, end);
    std::string sql = "SELECT " + rewrite(begin + 1, i);
    bool firstItem = true;
    for (auto [from, to] : splitCommas(i, listEnd)) {
      if (!isVariable(from) || !isSymbol(from + 1, "=") || from + 2 >= to)
        throw Error(ErrorKind::General,
                    "A SELECT statement that assigns a value to a variable must not be combined "
                    "with data-retrieval operations.",
                    std::string(sql_));
      n.slots.push_back(slotOf(from));
      sql += (firstItem ? " " : ", ") + rewrite(from + 2, to);
      firstItem = false;
    }
    if (listEnd < end) sql += " " + rewrite(listEnd, end);
    n.query = query(std::move(sql));
    return n;
  }

  Node expressionStatement(NodeKind kind) {
    const size_t begin = pos_;
    const size_t end = statementEnd(tokens_, begin);
    pos_ = end;
    Node n = node(kind, begin, end);
    if (begin + 1 < end)
      n.query = query("SELECT " + rewrite(begin + 1, end));
    else if (kind == NodeKind::Print)
      syntax("PRINT needs a value", begin + 1);
    return n;
  }

  Node raiserror() {
    const size_t begin = pos_;
    const size_t end = statementEnd(tokens_, begin);
    pos_ = end;
    if (!isSymbol(begin + 1, "(")) syntax("RAISERROR needs (message, severity, state)", begin + 1);
    int depth = 0;
    size_t close = begin + 1;
    for (; close < end; ++close) {
      if (isSymbol(close, "(")) ++depth;
      if (isSymbol(close, ")") && --depth == 0) break;
    }
    if (close >= end) syntax("RAISERROR without a closing parenthesis", end);
    const auto args = splitCommas(begin + 2, close);
    if (args.size() < 3) syntax("RAISERROR needs (message, severity, state)", begin + 2);
    if (tokens_[args[0].first].kind == TokenKind::Number)
      unsupported("RAISERROR with a message number", args[0].first);
    Node n = node(NodeKind::Raiserror, begin, end);
    n.query = query("SELECT " + rewrite(begin + 2, close));
    return n;
  }

  // EXEC[UTE] [@r =] procedure [arguments] | EXEC[UTE] (text)
  Node execStatement(size_t begin, size_t end) {
    pos_ = end;
    size_t i = begin + 1;
    if (isSymbol(i, "(")) {
      Node n = node(NodeKind::ExecText, begin, end);
      n.query = query("SELECT " + rewrite(i, end));
      return n;
    }
    Node n = node(NodeKind::Exec, begin, end);
    if (isVariable(i) && isSymbol(i + 1, "=")) {
      n.returnSlot = slotOf(i);
      i += 2;
    }
    if (i >= end) syntax("a procedure name expected", i);
    if (isVariable(i)) unsupported("EXEC of a procedure named by a variable", i);
    std::string name;
    while (i < end &&
           (tokens_[i].kind == TokenKind::Word || tokens_[i].kind == TokenKind::Quoted)) {
      name = tokens_[i++].value();
      if (!isSymbol(i, ".")) break;
      ++i;
    }
    if (iequals(name, "sp_executesql")) unsupported("sp_executesql", begin + 1);
    n.name = name;
    for (auto [from, to] : splitCommas(i, end)) {
      Argument arg;
      size_t k = from;
      if (isVariable(k) && isSymbol(k + 1, "=")) {
        arg.name = std::string(tokens_[k].text.substr(1));
        k += 2;
      }
      size_t valueEnd = to;
      if (valueEnd > k && (tokens_[valueEnd - 1].is("OUTPUT") || tokens_[valueEnd - 1].is("OUT"))) {
        --valueEnd;
        if (valueEnd != k + 1 || !isVariable(k)) syntax("OUTPUT needs a variable", k);
        arg.outputSlot = slotOf(k);
      }
      if (valueEnd == k) syntax("an argument expected", k);
      if (valueEnd == k + 1 && tokens_[k].is("DEFAULT"))
        arg.isDefault = true;
      else
        arg.value = query("SELECT " + rewrite(k, valueEnd));
      n.arguments.push_back(std::move(arg));
    }
    return n;
  }

  Node insertStatement() {
    const size_t begin = pos_;
    const size_t end = statementEnd(tokens_, begin);
    size_t exec = begin;
    int depth = 0;
    for (size_t i = begin; i < end && exec == begin; ++i) {
      if (isSymbol(i, "(")) ++depth;
      if (isSymbol(i, ")")) --depth;
      if (depth == 0 && (is(i, "EXEC") || is(i, "EXECUTE"))) exec = i;
    }
    if (exec == begin) return sqlStatement();
    Node n = node(NodeKind::InsertExec, begin, end);
    std::string head = rewrite(begin, exec);
    if (!is(begin + 1, "INTO")) head = "INSERT INTO" + head.substr(6);
    n.query = query(std::move(head));
    n.body.push_back(execStatement(exec, end));
    pos_ = end;
    return n;
  }

  Node cursorStatement(NodeKind kind) {
    const size_t begin = pos_;
    const size_t end = statementEnd(tokens_, begin);
    pos_ = end;
    size_t i = begin + 1;
    if (is(i, "GLOBAL")) ++i;
    if (i + 1 != end) syntax("a cursor name expected", i);
    Node n = node(kind, begin, end);
    n.name = upper(tokens_[i].value());
    return n;
  }

  // FETCH [NEXT] [FROM] cursor [INTO @a, @b]
  Node fetch() {
    const size_t begin = pos_;
    const size_t end = statementEnd(tokens_, begin);
    pos_ = end;
    size_t i = begin + 1;
    for (auto direction : {"PRIOR", "FIRST", "LAST", "ABSOLUTE", "RELATIVE"})
      if (is(i, direction)) unsupported("FETCH " + upper(tokens_[i].text), i);
    if (is(i, "NEXT")) ++i;
    if (is(i, "FROM")) ++i;
    if (is(i, "GLOBAL")) ++i;
    if (i >= end) syntax("a cursor name expected", i);
    Node n = node(NodeKind::Fetch, begin, end);
    n.name = upper(tokens_[i++].value());
    if (i < end) {
      if (!is(i, "INTO")) syntax("INTO expected", i);
      for (auto [from, to] : splitCommas(i + 1, end)) {
        if (to != from + 1 || !isVariable(from)) syntax("a variable expected", from);
        n.slots.push_back(slotOf(from));
      }
    }
    return n;
  }

  std::string_view sql_;
  std::vector<Token> tokens_;
  Program& program_;
  size_t pos_ = 0;
  std::unordered_map<std::string, int> slots_;
  std::unordered_map<std::string, std::string> tables_;
  std::string changedTable_;  // a trigger's exposed rows: what `inserted` and `deleted` name
};

// The index of the AS that begins a procedure's or trigger's body: the first one outside
// parentheses that does not stand between a parameter and its type.
size_t bodyStart(const std::vector<Token>& tokens, size_t from, std::string_view sql) {
  int depth = 0;
  for (size_t i = from; i < tokens.size(); ++i) {
    if (tokens[i].isSymbol("(")) ++depth;
    if (tokens[i].isSymbol(")")) --depth;
    if (depth == 0 && tokens[i].is("AS") &&
        !(tokens[i - 1].kind == TokenKind::Word && tokens[i - 1].text.front() == '@'))
      return i;
  }
  throw Error(ErrorKind::Syntax, "Incorrect syntax: AS and the body expected", std::string(sql));
}

// Past CREATE [OR ALTER] | ALTER, the kind word and the (possibly qualified) name.
size_t afterName(const std::vector<Token>& tokens) {
  size_t i = 1;
  if (tokens.size() > 2 && tokens[1].is("OR")) i = 3;
  ++i;
  while (i + 1 < tokens.size() && tokens[i + 1].isSymbol(".")) i += 2;
  return i + 1;
}

}  // namespace

std::shared_ptr<Program> parseBatch(std::string_view sql) {
  auto program = std::make_shared<Program>();
  Parser parser(sql, *program);
  if (parser.tokens().empty())
    throw Error(ErrorKind::Syntax, "The batch is empty", std::string(sql));
  parser.registerCallerParameters();
  program->body = parser.parseRest();
  return program;
}

std::shared_ptr<Program> parseProcedure(std::string_view definition) {
  auto program = std::make_shared<Program>();
  Parser parser(definition, *program);
  auto& tokens = parser.tokens();
  size_t i = afterName(tokens);
  if (i > tokens.size())
    throw Error(ErrorKind::Syntax, "A procedure name expected", std::string(definition));
  program->objectName = tokens[i - 1].value();
  const size_t as = bodyStart(tokens, i, definition);
  size_t paramsEnd = as;
  for (size_t k = i; k < as; ++k)
    if (tokens[k].is("WITH") || tokens[k].is("FOR")) {
      paramsEnd = k;
      break;
    }
  size_t from = i, to = paramsEnd;
  if (from < to && tokens[from].isSymbol("(") && tokens[to - 1].isSymbol(")")) {
    ++from;
    --to;
  }
  int depth = 0;
  size_t start = from;
  for (size_t k = from; k <= to; ++k) {
    if (k < to && tokens[k].isSymbol("(")) ++depth;
    if (k < to && tokens[k].isSymbol(")")) --depth;
    if (k == to || (depth == 0 && tokens[k].isSymbol(","))) {
      if (k > start) parser.parameter(start, k);
      start = k + 1;
    }
  }
  parser.seek(as + 1);
  program->body = parser.parseRest();
  return program;
}

std::shared_ptr<Program> parseTriggerBody(std::string_view definition, const std::string& name,
                                          const std::string& exposedAs) {
  auto program = std::make_shared<Program>();
  program->objectName = name;
  Parser parser(definition, *program);
  parser.changedTable(exposedAs);
  auto& tokens = parser.tokens();
  const size_t as = bodyStart(tokens, afterName(tokens), definition);
  parser.seek(as + 1);
  program->body = parser.parseRest();
  return program;
}

}  // namespace db::embedded::procedural
