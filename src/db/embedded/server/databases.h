#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "db/embedded/server/session.h"

struct sqlite3;

namespace db::embedded::server {

// The databases one connection reaches: its own as SQLite's "main", and the other databases of
// the server folder, attached under their own names when a statement first names them.
class Databases {
 public:
  Databases(sqlite3* db, std::shared_ptr<Session> session);

  const std::string& current() const { return session_->database; }
  bool isCurrent(std::string_view name) const;

  // The SQLite schema that holds database `name`: "main" for the connection's own, else the
  // database's name, attaching it on first use (also inside an open transaction, which the
  // statements on it then join). Throws db::Error for a bad name or a missing database.
  std::string schemaOf(std::string_view name);

  // CREATE DATABASE: a new, empty database file in the server folder.
  void create(std::string_view name);

  void detach() { db_ = nullptr; }

 private:
  sqlite3* db_;
  std::shared_ptr<Session> session_;
  std::unordered_map<std::string, std::string> attached_;  // upper-case name -> schema
};

// Prepares a database file the engine opens or creates: WAL journal and the engine's tables.
void initialiseDatabase(sqlite3* db);

}  // namespace db::embedded::server
