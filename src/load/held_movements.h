#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/core/connection.h"

namespace load {

// A downloaded account movement as the search for an identical local one sees it.
struct MovementKey {
  std::string client;
  std::optional<std::string> consumer;  // an empty downloaded consumer is NULL
  std::optional<db::DateTime> moved;    // to the second; NULL matches nothing
  std::optional<db::DateTime> opened;   // to the second; NULL matches a NULL opening only
  double value = 0;
};

// The register's account movements of the clients a download names, each client's read once
// with one indexed query instead of searching them again for every downloaded row. A movement is
// held when the client has one of the same consumer (or both NULL), second, type, value to a
// thousandth and till opening (or both NULL); texts compare without regard to ASCII case, as the
// columns' collation does.
class HeldMovements {
 public:
  explicit HeldMovements(db::Connection& conn);

  bool held(const MovementKey& movement, std::string_view type);
  // Adds a movement just inserted under the client and number, read back as stored, so that
  // the same movement downloaded again is found.
  void inserted(std::string_view client, std::string_view number);

 private:
  struct Local {
    std::optional<std::string> consumer;
    std::optional<int64_t> movedMs;
    std::optional<std::string> type;
    std::optional<double> value;
    std::optional<int64_t> openedMs;
  };
  std::vector<Local>& movementsOf(std::string_view client);
  static void readInto(db::Statement& select, std::vector<Local>& movements);

  db::Statement& select_;
  db::Statement& selectOne_;
  std::unordered_map<std::string, std::vector<Local>> byClient_;
};

}  // namespace load
