#include "db/odbc/procedure_call.h"

#include <cctype>

#include "db/odbc/batch_reader.h"
#include "db/odbc/diagnostics.h"
#include "db/odbc/handle.h"
#include "db/odbc/parameter_buffer.h"

namespace db::odbc {
namespace {

// Room for an OUTPUT text: SQL Server's longest VARCHAR short of MAX.
constexpr SQLLEN kOutputTextBytes = 8000;

bool isNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '#' || c == '$';
}

void checkName(std::string_view name, std::string_view what) {
  bool ok = !name.empty();
  for (char c : name) ok = ok && (isNameChar(c) || c == '.' || c == '[' || c == ']');
  if (!ok)
    throw Error(ErrorKind::Syntax, "Invalid " + std::string(what) + " '" + std::string(name) + "'");
}

// An OUTPUT argument: bound for input and output, with room for what comes back in the type its
// input value has (a text when the input is NULL).
class OutputParameter {
 public:
  explicit OutputParameter(const Value& value) : kind_(value.kind()) {
    indicator_ = value.isNull() ? SQL_NULL_DATA : 0;
    switch (kind_) {
      case Value::Kind::Int:
        integer_ = value.getInt();
        break;
      case Value::Kind::Double:
        real_ = value.getDouble();
        break;
      case Value::Kind::Bool:
        integer_ = value.getBool() ? 1 : 0;
        kind_ = Value::Kind::Int;
        break;
      case Value::Kind::DateTime:
        timestamp_ = toTimestamp(value.getDateTime());
        break;
      default:
        kind_ = Value::Kind::Text;
        text_.assign(static_cast<size_t>(kOutputTextBytes) + 1, '\0');
        if (!value.isNull()) {
          const std::string input = value.asText();
          text_.replace(0, std::min(input.size(), text_.size() - 1), input);
          indicator_ = static_cast<SQLLEN>(std::min(input.size(), text_.size() - 1));
        }
    }
  }

  SQLRETURN bindTo(SQLHSTMT statement, SQLUSMALLINT number) {
    switch (kind_) {
      case Value::Kind::Int:
        return SQLBindParameter(statement, number, SQL_PARAM_INPUT_OUTPUT, SQL_C_SBIGINT,
                                SQL_BIGINT, 0, 0, &integer_, 0, &indicator_);
      case Value::Kind::Double:
        return SQLBindParameter(statement, number, SQL_PARAM_INPUT_OUTPUT, SQL_C_DOUBLE, SQL_DOUBLE,
                                0, 0, &real_, 0, &indicator_);
      case Value::Kind::DateTime:
        return SQLBindParameter(statement, number, SQL_PARAM_INPUT_OUTPUT, SQL_C_TYPE_TIMESTAMP,
                                SQL_TYPE_TIMESTAMP, kTimestampColumnSize, kTimestampDigits,
                                &timestamp_, 0, &indicator_);
      default:
        return SQLBindParameter(statement, number, SQL_PARAM_INPUT_OUTPUT, SQL_C_CHAR, SQL_VARCHAR,
                                kOutputTextBytes, 0, text_.data(), kOutputTextBytes + 1,
                                &indicator_);
    }
  }

  Value value() const {
    if (indicator_ == SQL_NULL_DATA) return Value();
    switch (kind_) {
      case Value::Kind::Int:
        return Value(integer_);
      case Value::Kind::Double:
        return Value(real_);
      case Value::Kind::DateTime:
        return Value(fromTimestamp(timestamp_));
      default:
        return Value(std::string(
            text_.c_str(), std::min<size_t>(static_cast<size_t>(indicator_), text_.size() - 1)));
    }
  }

 private:
  Value::Kind kind_;
  int64_t integer_ = 0;
  double real_ = 0;
  SQL_TIMESTAMP_STRUCT timestamp_{};
  std::string text_;
  SQLLEN indicator_ = 0;
};

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
  std::vector<ParameterBuffer> inputs(args.size());
  std::vector<std::unique_ptr<OutputParameter>> outputs(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    const auto number = static_cast<SQLUSMALLINT>(i + 2);
    SQLRETURN rc;
    if (args[i].output) {
      outputs[i] = std::make_unique<OutputParameter>(args[i].value);
      rc = outputs[i]->bindTo(raw, number);
    } else {
      inputs[i].set(args[i].value);
      rc = inputs[i].bindTo(raw, number);
    }
    check(rc, SQL_HANDLE_STMT, raw, "Cannot bind argument " + std::to_string(i + 1), context);
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
    if (outputs[i])
      out.outputs.push_back(
          {args[i].name.empty() ? std::to_string(i + 1) : args[i].name, outputs[i]->value()});
  return out;
}

}  // namespace db::odbc
