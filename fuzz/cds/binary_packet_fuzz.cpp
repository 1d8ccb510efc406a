// Any byte string handed to the binary packet reader: an error is fine, a crash is not. What
// reads must also write and read back.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "db/dataset/dataset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view packet(reinterpret_cast<const char*>(data), size);
  if (!db::looksLikeBinaryPacket(packet)) return 0;
  db::DataSet ds;
  try {
    ds.setData(packet, "fuzz");
  } catch (const db::Error&) {
    return 0;
  }
  for (ds.first(); !ds.eof(); ds.next()) {
    for (size_t f = 0; f < ds.fieldCount(); ++f) ds.field(f).value();
  }
  try {
    db::DataSet copy;
    copy.setData(ds.data());
    copy.setData(ds.toPacket(db::PacketFormat::Xml));
  } catch (const db::Error&) {
    // Texts outside code page 1252 cannot be written to a binary packet; that is reported.
  }
  return 0;
}
