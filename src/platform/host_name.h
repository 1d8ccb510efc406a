#pragma once

#include <string>

namespace platform {

// This machine's network name; "localhost" when the system will not tell it.
std::string hostName();

}  // namespace platform
