#pragma once

#include <vector>

#include "db/core/value.h"
#include "load/bulk_writer.h"
#include "load/load_context.h"
#include "load/statement_merge.h"

namespace load {

// Puts back into the local base the register's own movements that the central side returns
// (the sales vector: TURCAIXA, VENDA, ITEMVENDA, ITVENDAIMPOS, ITVENDACAN, MOVCAIXA,
// EXTRATOCONS, REDUCAOZ packets and the return text), with new local sale numbers.
void reimportMovements(LoadContext& context, BulkWriter& writer,
                       const std::vector<db::Value>& salesVector);

// Fills a dataset from a packet value; an empty or missing packet leaves it closed.
void loadPacket(const db::Value& packet, db::DataSet& target, std::string_view source);

}  // namespace load
