#pragma once

#include <string>

#include "consumer_central/central_names.h"
#include "consumer_central/central_tables.h"

namespace consumer_central {

// The CREATE TRIGGER text of a copy trigger: FOR INSERT on the local table, it inserts every
// inserted row into the central table unless the central table holds a matching row already
// (another register copied the same movement). A multi-row insert copies all its rows.
std::string createTriggerText(const CopyTrigger& trigger, const CentralNames& names);

}  // namespace consumer_central
