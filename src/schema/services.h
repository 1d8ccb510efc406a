#pragma once

#include <functional>
#include <string_view>

namespace schema {

// GravaLog(message, level): the run log.
using LogLine = std::function<void(std::string_view message, std::string_view level)>;

}  // namespace schema
