#pragma once

#include <cstdio>

namespace platform {

// Whether `stream` writes to an interactive terminal rather than a file or a pipe.
bool isTerminal(std::FILE* stream);

}  // namespace platform
