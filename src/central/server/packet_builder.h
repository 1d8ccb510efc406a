#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "central/model/model.h"
#include "db/core/connection.h"
#include "db/dataset/field_def.h"

namespace central::server {

// The packet field for a model column: VARCHAR(n) -> string of n, DECIMAL(p,s) -> BCD,
// DATETIME -> date-time, integer types, FLOAT/REAL, and binary or long text as blobs.
db::FieldDef fieldFor(const central::Column& column);

// Runs `sql` (its select list being `fields`, in order) and returns its rows numbered firstRow
// to lastRow (from 1, both included) as the bytes of a binary data packet. Only this packet is
// held in memory.
std::string queryPacket(db::Connection& db, const std::vector<db::FieldDef>& fields,
                        const std::string& sql, const db::Params& params, size_t firstRow = 1,
                        size_t lastRow = SIZE_MAX);

// A packet of given rows, for the small answers built in code.
std::string rowsPacket(const std::vector<db::FieldDef>& fields,
                       const std::vector<std::vector<db::Value>>& rows);

// A packet's bytes as the variant a method answers with.
db::Value packetValue(const std::string& packet);

}  // namespace central::server
