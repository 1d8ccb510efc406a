#include "central/server/method_table.h"

#include "db/core/text.h"

namespace central::server {
namespace {

bool fits(ArgKind kind, const db::Value& value) {
  using K = db::Value::Kind;
  switch (kind) {
    case ArgKind::Text:
      return value.kind() == K::Text;
    case ArgKind::Date:
      return value.kind() == K::DateTime || value.isNull() || value.kind() == K::Int ||
             value.kind() == K::Double;
    case ArgKind::Bool:
      return value.kind() == K::Bool;
    case ArgKind::Int:
      return value.kind() == K::Int;
    case ArgKind::Any:
      return true;
  }
  return false;
}

std::string_view kindWord(ArgKind kind) {
  switch (kind) {
    case ArgKind::Text:
      return "text";
    case ArgKind::Date:
      return "date-time";
    case ArgKind::Bool:
      return "boolean";
    case ArgKind::Int:
      return "integer";
    case ArgKind::Any:
      return "variant";
  }
  return "?";
}

}  // namespace

void MethodTable::add(std::string_view object, MethodSpec entry) {
  auto key = db::upper(entry.name);
  objects_[db::upper(object)][key] = std::move(entry);
}

const MethodSpec& MethodTable::find(std::string_view object, std::string_view method) const {
  auto o = objects_.find(db::upper(object));
  if (o == objects_.end())
    throw BadRequest("unknown server object \"" + std::string(object) + "\"");
  auto m = o->second.find(db::upper(method));
  if (m == o->second.end())
    throw BadRequest("unknown method \"" + std::string(method) + "\" of " + std::string(object));
  return m->second;
}

void MethodTable::checkArgs(const MethodSpec& entry, const std::vector<db::Value>& args) {
  if (args.size() != entry.args.size())
    throw BadRequest(entry.name + " takes " + std::to_string(entry.args.size()) +
                     " arguments, got " + std::to_string(args.size()));
  for (size_t i = 0; i < args.size(); ++i) {
    if (!fits(entry.args[i], args[i]))
      throw BadRequest(entry.name + ": argument " + std::to_string(i + 1) + " must be " +
                       std::string(kindWord(entry.args[i])) + ", got " +
                       std::string(db::kindName(args[i].kind())));
  }
}

}  // namespace central::server
