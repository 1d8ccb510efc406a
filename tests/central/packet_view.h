#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/core/value.h"

// Reads packets for the tests, apart from the database headers (their Column types collide).
namespace packet_view {

size_t rowCount(std::string_view packet);
bool hasField(std::string_view packet, std::string_view field);
// The field's values of every row, as text.
std::vector<std::string> column(std::string_view packet, std::string_view field);
// The field's values of the nested dataset `nested` of row `row`.
std::vector<std::string> nestedColumn(std::string_view packet, size_t row, std::string_view nested,
                                      std::string_view field);

inline std::string_view of(const db::Value& v) {
  const auto& b = v.getBytes();
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}

}  // namespace packet_view
