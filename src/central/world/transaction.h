#pragma once

#include <string>

#include "db/core/connection.h"
#include "db/core/error.h"

namespace central::world {

// Runs work in one transaction of the central connection, rolled back on any error; a database
// error comes back with what was being done in front of its text, so a failing batch names its
// table.
template <typename Work>
void inTransaction(db::Connection& connection, const std::string& doing, Work&& work) {
  connection.begin();
  try {
    work();
    connection.commit();
  } catch (const db::Error& e) {
    connection.rollback();
    throw db::Error(e.kind(), doing + ": " + e.what(), e.statement(), e.nativeCode());
  } catch (...) {
    connection.rollback();
    throw;
  }
}

}  // namespace central::world
