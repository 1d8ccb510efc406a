#pragma once

#include <string>

#include "db/core/value.h"

namespace testing_support {

// A getCxServidor packet with the two fields, holding one row when `withRow`.
db::Bytes registerPacket(const std::string& ipServPri, const std::string& idAutoImpTab,
                         bool withRow);

}  // namespace testing_support
