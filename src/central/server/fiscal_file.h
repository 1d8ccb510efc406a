#pragma once

#include "central/server/method_table.h"

namespace central::server {

// getSintegraQir: the lines of a branch's fiscal file for a period, laid out as the mode asks
// (SINTEGRA, SPED or DIGITAL); any other mode is a server error.
MethodResult getSintegraQir(Call& call);

}  // namespace central::server
