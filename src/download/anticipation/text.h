#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace download {

// The line the anticipated downloads write around each catch-up in the run log.
inline constexpr std::string_view kDashes = "-------------------------------------";

// Replaces every "%NAME" placeholder of a statement template in one pass, so a value that
// contains another placeholder stays intact. Values must be checked identifiers or lists of them.
std::string fillStatement(
    std::string_view text,
    std::initializer_list<std::pair<std::string_view, std::string_view>> values);

}  // namespace download
