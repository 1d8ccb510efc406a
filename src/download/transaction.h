#pragma once

#include "db/core/connection.h"

namespace download {

// Runs work in a transaction of the local connection: begins unless one is open, commits after
// the work, rolls back when a transaction is open and re-raises on error.
template <typename Work>
void inTransaction(db::Connection& conn, Work&& work) {
  if (!conn.inTransaction()) conn.begin();
  try {
    work();
    conn.commit();
  } catch (...) {
    if (conn.inTransaction()) conn.rollback();
    throw;
  }
}

}  // namespace download
