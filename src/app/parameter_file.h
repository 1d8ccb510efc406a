#pragma once

#include <filesystem>
#include <optional>

#include "app/run_slots.h"

namespace app {

inline constexpr const char* kParameterFileName = "Pelmora.cds";

// CDFILIAL and CDCAIXA of the first record of Pelmora.cds in the program directory (empty
// texts when it holds no record); nothing when the file does not exist. Raises when the file
// cannot be read.
std::optional<ParameterFileRecord> readParameterFile(const std::filesystem::path& programDirectory);

}  // namespace app
