#pragma once

#include <cstdint>
#include <vector>

namespace download {

inline constexpr int64_t kLinesPerRange = 100000;

// The statement lines of one request to the server; 0 and 0 mean the whole file.
struct LineRange {
  int64_t linhaIni = 0;
  int64_t linhaFin = 0;
  bool operator==(const LineRange&) const = default;
};

// How a file of `total` rows is asked for: whole up to kLinesPerRange, else in consecutive ranges
// of kLinesPerRange lines from line 1, the last one ending at the total.
std::vector<LineRange> lineRanges(int64_t total);

}  // namespace download
