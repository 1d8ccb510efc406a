#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/core/connection.h"
#include "download/statement_files/insert_line.h"

namespace download {

// Statement files hold hundreds of thousands of INSERT lines that differ only in their
// constants. Sent as text, each line would be translated and prepared anew; here the lines of
// one shape share one prepared statement with parameters and only the constants are bound.
// Lines that are anything else, or whose constants the engine would convert in ways binding
// cannot mirror, are left to run as text.
class InsertFastPath {
 public:
  explicit InsertFastPath(db::Connection& conn) : conn_(conn) {}

  // True when the line ran here; false when the caller must run it as text.
  // Database errors raise as they would for the text.
  bool tryRun(std::string_view line);
  // The same for a line parseInsertLine has taken apart already.
  bool tryRun(const InsertLine& line);

 private:
  struct Shape {
    db::Statement* statement = nullptr;  // nullptr: this shape always runs as text
    std::vector<bool> isDateTime;
  };
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };

  const Shape& shapeFor(const InsertLine& line);
  Shape buildShape(const InsertLine& line);
  bool bindAll(const Shape& shape, const InsertLine& line);

  db::Connection& conn_;
  std::unordered_map<std::string, Shape, Hash, std::equal_to<>> shapes_;
  InsertLine parsed_;
};

}  // namespace download
