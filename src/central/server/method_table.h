#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "central/server/register_tokens.h"
#include "db/core/connection.h"
#include "db/core/value.h"

namespace central::server {

class Service;

// How an argument must arrive. Dates also accept null (an unassigned slot) and numbers
// (days since the zero date), as variant slots may hold either.
enum class ArgKind { Text, Date, Bool, Int, Any };

// One element of an array written while the reply is written: appends its JSON text to `json`.
using LazyElement = std::function<void(std::string& json)>;

// A remote method's answer. Large variant arrays (getTabelas) are produced element by element
// while the reply is written, so only one element is held in memory at a time.
struct MethodResult {
  db::Value value;
  std::vector<LazyElement> lazyElements;
  bool lazy = false;

  MethodResult() = default;
  MethodResult(db::Value v) : value(std::move(v)) {}
  static MethodResult lazyArray(std::vector<LazyElement> elements) {
    MethodResult result;
    result.lazyElements = std::move(elements);
    result.lazy = true;
    return result;
  }
};

struct Call {
  Service& service;
  db::Connection& db;  // the request's own, in its read transaction
  std::vector<db::Value>& args;
  std::string requestHost;  // the Host header the client used, for the file access lines
  const RegisterIdentity* caller = nullptr;  // null when the server asks for no tokens
};

using Handler = std::function<MethodResult(Call&)>;

struct MethodSpec {
  std::string name;
  std::vector<ArgKind> args;
  Handler handler;
};

// A client mistake (unknown method, wrong arguments): answered as an error, never a crash.
class BadRequest : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Remote methods by object and name, both matched without regard to case.
class MethodTable {
 public:
  void add(std::string_view object, MethodSpec entry);
  // Throws BadRequest for an unknown object or method.
  const MethodSpec& find(std::string_view object, std::string_view method) const;
  // Throws BadRequest naming the method and the first argument that does not fit.
  static void checkArgs(const MethodSpec& entry, const std::vector<db::Value>& args);

 private:
  std::map<std::string, std::map<std::string, MethodSpec>> objects_;
};

// Fills the table with every remote method the central server offers.
void registerStructureMethods(MethodTable& table);
void registerSessionMethods(MethodTable& table);
void registerTableMethods(MethodTable& table);
void registerFileMethods(MethodTable& table);
void registerAnticipationMethods(MethodTable& table);

inline constexpr std::string_view kExportObject = "rdmExpDados";
inline constexpr std::string_view kStructureObject = "rdmAtualizaEstrutura";

}  // namespace central::server
