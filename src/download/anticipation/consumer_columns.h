#pragma once

#include <string>

namespace download {

// The CONSUMIDOR columns the consumer temporary tables (CONSDT_TEMP, CONSCLIENFIL_TMP) copy,
// in order, as one comma-separated list.
const std::string& consumerTempColumns();

}  // namespace download
