#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace outside {

// A message table: texts by key. Keys match exactly, as the tables are written by hand.
class Messages {
 public:
  Messages(std::initializer_list<std::pair<const std::string, std::string>> entries)
      : texts_(entries) {}
  // Raises std::out_of_range naming the key when the table lacks it.
  const std::string& Msg(std::string_view key) const;

 private:
  std::map<std::string, std::string, std::less<>> texts_;
};

// The program's own message table (the load and its error log read it).
const Messages& msgPadrao();

}  // namespace outside
