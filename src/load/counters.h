#pragma once

#include "load/bulk_writer.h"
#include "load/load_context.h"

namespace load {

// NOVOCODIGO from cdsNovoCodNFCe: a local counter only ever moves forward (compared as numbers),
// and counters the local base lacks are inserted.
void applyCounters(LoadContext& context, BulkWriter& writer);

// True when counter value a is below b: as numbers when both are whole numbers, else as texts.
bool counterBelow(std::string_view a, std::string_view b);

}  // namespace load
