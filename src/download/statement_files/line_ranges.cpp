#include "download/statement_files/line_ranges.h"

#include <algorithm>

namespace download {

std::vector<LineRange> lineRanges(int64_t total) {
  if (total <= kLinesPerRange) return {LineRange{}};
  std::vector<LineRange> ranges;
  for (LineRange r{1, kLinesPerRange}; r.linhaIni <= total;
       r = {r.linhaFin + 1, std::min(r.linhaFin + kLinesPerRange, total)})
    ranges.push_back(r);
  return ranges;
}

}  // namespace download
