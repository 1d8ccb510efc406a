#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "central/model/model.h"
#include "db/core/connection.h"
#include "db/dataset/field_def.h"

namespace central::server {

// A statement over one model table with its parameters and the packet fields of its select list.
struct TableQuery {
  std::string sql;
  db::Params params;
  std::vector<db::FieldDef> fields;
};

// The base date the register sends for a table it never loaded: a request date at or before it
// asks for the whole table.
db::DateTime baseDate();

struct RowFilter {
  std::string branch;                 // empty: every branch
  std::string registerCode;           // empty: every register (only tables with a register column)
  std::optional<db::DateTime> since;  // rows changed after it; none or <= baseDate(): every row
  std::string extraCondition;         // ANDed as it stands; may use the parameters below
  db::Params extraParams;
};

// The rows of one branch, optionally only those changed after `since`.
RowFilter branchRows(std::string branch, std::optional<db::DateTime> since = std::nullopt);

// SELECT of every model column, rows of the branch (by its branch column, or for client-scoped
// tables through the branch's CLIENFILIAL rows) changed after `since`, in key order.
TableQuery selectRows(const central::Table& table, const RowFilter& filter);
// SELECT COUNT(*) with the same filter.
TableQuery countRows(const central::Table& table, const RowFilter& filter);

int64_t queryCount(db::Connection& db, const TableQuery& query);
std::optional<db::DateTime> queryMaxDate(db::Connection& db, const std::string& sql,
                                         const db::Params& params);

// A request-date variant as a date: a date-time, or a number of days; anything else none.
std::optional<db::DateTime> requestDate(const db::Value& value);

}  // namespace central::server
