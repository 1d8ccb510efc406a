#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/core/error.h"

namespace db {

class Table;

enum class PacketFormat { Binary, Xml };

// A data packet that cannot be read: what() names the source (file or packet) and the place in
// it (byte offset for binary packets, line and column for XML).
class PacketError : public Error {
 public:
  explicit PacketError(const std::string& message) : Error(ErrorKind::Conversion, message) {}
};

// Limits that keep hostile packets from asking for unbounded memory or recursion.
namespace packet_limits {
constexpr size_t kMaxFields = 4096;
constexpr int kMaxNesting = 16;
}  // namespace packet_limits

// Reads either format, detected from the content (the binary magic, else XML).
std::unique_ptr<Table> readPacket(std::string_view bytes, std::string_view source);
std::unique_ptr<Table> readBinaryPacket(std::string_view bytes, std::string_view source);
std::unique_ptr<Table> readXmlPacket(std::string_view bytes, std::string_view source);

std::string writePacket(const Table& table, PacketFormat format);
std::string writeBinaryPacket(const Table& table);
std::string writeXmlPacket(const Table& table);

bool looksLikeBinaryPacket(std::string_view bytes);

}  // namespace db
