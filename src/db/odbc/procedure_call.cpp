#include "db/odbc/procedure_call.h"

#include <cctype>

#include "db/odbc/batch_reader.h"
#include "db/odbc/diagnostics.h"
#include "db/odbc/handle.h"
#include "db/odbc/parameter_buffer.h"

namespace db::odbc {
namespace {

bool isNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '#' || c == '$';
}

void checkName(std::string_view name, std::string_view what) {
  bool ok = !name.empty();
  for (char c : name) ok = ok && (isNameChar(c) || c == '.' || c == '[' || c == ']');
  if (!ok)
    throw Error(ErrorKind::Syntax, "Invalid " + std::string(what) + " '" + std::string(name) + "'");
}

}  // namespace

std::string procedureCallText(std::string_view name, const std::vector<ProcedureArgument>& args) {
  checkName(name, "procedure name");
  bool named = false;
  for (const auto& a : args) {
    if (!a.name.empty()) {
      checkName(a.name, "parameter name");
      named = true;
    } else if (named) {
      throw Error(ErrorKind::Syntax,
                  "Must pass parameter number " + std::to_string(&a - args.data() + 1) +
                      " and subsequent parameters as '@name = value'",
                  "EXEC " + std::string(name));
    }
  }
  std::string text;
  if (!named) {
    text = "{? = call " + std::string(name) + "(";
    for (size_t i = 0; i < args.size(); ++i) text += i ? ", ?" : "?";
    return text + ")}";
  }
  text = "EXEC ? = " + std::string(name);
  for (size_t i = 0; i < args.size(); ++i) {
    text += i ? ", " : " ";
    if (!args[i].name.empty()) text += "@" + args[i].name + " = ";
    text += args[i].output ? "? OUTPUT" : "?";
  }
  return text;
}

ProcedureResult callProcedure(SQLHDBC connection, std::string_view name,
                              const std::vector<ProcedureArgument>& args,
                              const std::string& secret) {
  std::string text = procedureCallText(name, args);
  const ErrorContext context{text, secret};
  SQLHANDLE raw = SQL_NULL_HANDLE;
  check(SQLAllocHandle(SQL_HANDLE_STMT, connection, &raw), SQL_HANDLE_DBC, connection,
        "Cannot allocate a statement", context);
  Handle statement(SQL_HANDLE_STMT, raw);

  SQLINTEGER returnValue = 0;
  SQLLEN returnIndicator = 0;
  check(SQLBindParameter(raw, 1, SQL_PARAM_OUTPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &returnValue, 0,
                         &returnIndicator),
        SQL_HANDLE_STMT, raw, "Cannot bind the return value", context);
  std::vector<ParameterBuffer> buffers(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].output) {
      buffers[i].setOutput(args[i].value);
    } else {
      buffers[i].set(args[i].value);
    }
    check(buffers[i].bindTo(raw, static_cast<SQLUSMALLINT>(i + 2)), SQL_HANDLE_STMT, raw,
          "Cannot bind argument " + std::to_string(i + 1), context);
  }
  const SQLRETURN rc = SQLExecDirect(raw, reinterpret_cast<SQLCHAR*>(text.data()),
                                     static_cast<SQLINTEGER>(text.size()));
  if (rc != SQL_NO_DATA) check(rc, SQL_HANDLE_STMT, raw, "Procedure call failed", context);
  BatchResult batch = readBatch(raw, rc, context);
  // Output values and the return value arrive once every result has been read.
  ProcedureResult out;
  out.resultSets = std::move(batch.resultSets);
  out.messages = std::move(batch.messages);
  out.returnValue = returnIndicator == SQL_NULL_DATA ? 0 : returnValue;
  for (size_t i = 0; i < args.size(); ++i)
    if (args[i].output)
      out.outputs.push_back(
          {args[i].name.empty() ? std::to_string(i + 1) : args[i].name, buffers[i].output()});
  return out;
}

}  // namespace db::odbc
