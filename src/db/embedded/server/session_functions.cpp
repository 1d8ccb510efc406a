#include "db/embedded/server/session_functions.h"

#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/server/server_folder.h"

namespace db::embedded::server {
namespace {

constexpr std::string_view kSystemDatabases[] = {"master", "tempdb", "model", "msdb"};

Session& sessionOf(sqlite3_context* ctx) {
  return **static_cast<std::shared_ptr<Session>*>(sqlite3_user_data(ctx));
}

void resultText(sqlite3_context* ctx, std::string_view s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void hostName(sqlite3_context* ctx, int, sqlite3_value**) {
  resultText(ctx, sessionOf(ctx).hostName);
}

void appName(sqlite3_context* ctx, int, sqlite3_value**) {
  resultText(ctx, sessionOf(ctx).applicationName);
}

void spid(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_int64(ctx, sessionOf(ctx).spid);
}

void scopeIdentity(sqlite3_context* ctx, int, sqlite3_value**) {
  const auto& identity = sessionOf(ctx).lastIdentity;
  if (identity) return sqlite3_result_int64(ctx, *identity);
  sqlite3_result_null(ctx);
}

void dbName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const Session& session = sessionOf(ctx);
  if (argc == 0) return resultText(ctx, session.database);
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const int64_t id = sqlite3_value_int64(argv[0]);
  const auto names = serverDatabases(session);
  if (id < 1 || id > static_cast<int64_t>(names.size())) return sqlite3_result_null(ctx);
  resultText(ctx, names[static_cast<size_t>(id - 1)]);
}

void inputBuffer(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int64_t wanted = sqlite3_value_int64(argv[0]);
  if (auto text = inputBufferOf(wanted)) return resultText(ctx, *text);
  const std::string message = "Invalid SPID " + std::to_string(wanted) + " specified.";
  sqlite3_result_error(ctx, message.c_str(), -1);
}

std::string jsonString(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + '"';
}

void databases(sqlite3_context* ctx, int, sqlite3_value**) {
  const auto names = serverDatabases(sessionOf(ctx));
  std::string json = "[";
  for (size_t i = std::size(kSystemDatabases); i < names.size(); ++i)
    json += (json.size() > 1 ? "," : "") + jsonString(names[i]);
  resultText(ctx, json + "]");
}

using Fn = void (*)(sqlite3_context*, int, sqlite3_value**);

struct Function {
  const char* name;
  int arity;
  Fn fn;
};

constexpr Function kFunctions[] = {
    {"HOST_NAME", 0, hostName},
    {"APP_NAME", 0, appName},
    {"DB_NAME", 0, dbName},
    {"DB_NAME", 1, dbName},
    {"SCOPE_IDENTITY", 0, scopeIdentity},
    {"KIVTAB_SPID", 0, spid},
    {"KIVTAB_INPUTBUFFER", 1, inputBuffer},
    {"kivtab_databases", 0, databases},
};

void releaseSession(void* p) { delete static_cast<std::shared_ptr<Session>*>(p); }

}  // namespace

std::vector<std::string> serverDatabases(const Session& session) {
  std::vector<std::string> names(std::begin(kSystemDatabases), std::end(kSystemDatabases));
  if (session.folder.empty()) {
    names.push_back(session.database);
    return names;
  }
  for (auto& name : databaseNames(session.folder)) names.push_back(std::move(name));
  return names;
}

void registerSessionFunctions(sqlite3* db, std::shared_ptr<Session> session) {
  for (const auto& f : kFunctions) {
    // Each registration holds the session, so it outlives any statement still using it.
    auto* data = new std::shared_ptr<Session>(session);
    if (sqlite3_create_function_v2(db, f.name, f.arity, SQLITE_UTF8, data, f.fn, nullptr, nullptr,
                                   releaseSession) != SQLITE_OK)
      throw Error(ErrorKind::General,
                  std::string("Cannot register function ") + f.name + ": " + sqlite3_errmsg(db));
  }
}

}  // namespace db::embedded::server
