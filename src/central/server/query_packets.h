#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "central/server/table_query.h"
#include "db/core/connection.h"

namespace central::server {

// The packet of one query, which several positions of a reply may send (a table handed over to
// two datasets with one request date): read once, and held only until the last position that
// sends it has taken it.
class QueryPacket {
 public:
  explicit QueryPacket(TableQuery query) : query_(std::move(query)) {}

  const TableQuery& query() const { return query_; }
  void addUse() { ++uses_; }
  // Appends the packet's JSON text for one of its positions; each position takes it once.
  void take(db::Connection& db, std::string& json);

 private:
  TableQuery query_;
  size_t uses_ = 0;
  bool read_ = false;
  std::string text_;  // the JSON text, while a position still needs it
};

// The queries of one reply, each once: asking again for a query already there (same text, same
// parameters) adds a use of it instead of a second read.
class QueryPackets {
 public:
  std::shared_ptr<QueryPacket> of(TableQuery query);

 private:
  std::multimap<std::string, std::shared_ptr<QueryPacket>> bySql_;
};

}  // namespace central::server
