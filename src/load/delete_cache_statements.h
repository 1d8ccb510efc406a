#pragma once

#include <string_view>

// Fixed texts of the delete cache. Per-table statements are assembled from the table list's
// names (checked identifiers) with the key values always bound as :P_ parameters.
namespace load::delete_cache_sql {

inline constexpr std::string_view kSelectComparedPrefix = "SELECT TOP 1 ";
inline constexpr std::string_view kDeletePrefix = "DELETE FROM ";

// adqCliFilial, for the branch's market segment.
inline constexpr std::string_view kSelSegmentoFilial =
    "SELECT CDSEGMER FROM FILIAL WHERE (CDFILIAL = :P_CDFILIAL)";

}  // namespace load::delete_cache_sql
