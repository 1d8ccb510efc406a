#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "db/core/value.h"
#include "db/dataset/field_def.h"

namespace db {
class Table;
}

namespace central::server {

// Rows appended one by one into a binary data packet. Kept apart from the database headers so
// the dataset's types and the connection's never meet in one translation unit.
class PacketWriter {
 public:
  explicit PacketWriter(const std::vector<db::FieldDef>& fields);
  ~PacketWriter();
  PacketWriter(const PacketWriter&) = delete;
  PacketWriter& operator=(const PacketWriter&) = delete;

  void appendRow();
  void set(size_t field, const db::Value& value);  // in the last appended row; null skipped
  db::Bytes finish() const;

 private:
  std::unique_ptr<db::Table> table_;
  uint32_t slot_ = 0;
};

// The values of one field (by name, ignoring case) of every row of a packet, in row order;
// empty when the packet has no such field. Throws db::Error for an unreadable packet.
std::vector<db::Value> fieldValues(const db::Bytes& packet, std::string_view field,
                                   std::string_view source);

}  // namespace central::server
