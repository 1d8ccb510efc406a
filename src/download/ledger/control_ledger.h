#pragma once

#include <cstdint>
#include <string_view>

#include "db/core/connection.h"
#include "db/core/value.h"

namespace download {

// 1985-01-01 12:00:00: the date of a table that was never loaded.
db::DateTime baseDate();

// Records the latest central change date loaded into a table; CDCAIXA is empty except for
// ITMENUCONFTE. Runs inside the caller's transaction. The update moves the date unconditionally,
// back as well as forward, and leaves DTULTATU (the row's birth) alone.
void gravaCtrlBaixaTab(db::Connection& conn, std::string_view cdFilial, std::string_view nmTabela,
                       std::string_view cdCaixa, const db::Value& dtUltAtuTab);

// The request date for one slot. Kind 1 (vDatasControle): tomorrow when the table has no control
// row (cont 0), else the date or the base date when it is NULL or zero. Kind 2 (vDatasBase): the
// date, or the base date when it is NULL or zero. Other kinds raise std::invalid_argument.
db::DateTime dataPedido(int64_t cont, int kind, const db::Value& date, db::DateTime now);

// The dates recorded after the file loads: the newest change among the branch's consumers, and
// the newest extract row. NULL when there is none.
db::Value consumerLoadedDate(db::Connection& conn, std::string_view cdFilial);
db::Value extractLoadedDate(db::Connection& conn);

// Whether the ledger holds a row for EXTRATOCONS, for any branch or register: without one the
// statement has never been loaded.
bool extractControlled(db::Connection& conn);

// Dates at or before the base date become now minus 60 days.
db::DateTime pisoSessentaDias(db::DateTime date, db::DateTime now);

}  // namespace download
