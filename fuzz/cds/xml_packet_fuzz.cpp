// Any text handed to the XML packet reader: an error is fine, a crash or a hang is not.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "db/dataset/dataset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view packet(reinterpret_cast<const char*>(data), size);
  db::DataSet ds;
  try {
    ds.setData(packet, "fuzz");
    for (ds.first(); !ds.eof(); ds.next()) {
      for (size_t f = 0; f < ds.fieldCount(); ++f) ds.field(f).value();
    }
    db::DataSet copy;
    copy.setData(ds.toPacket(db::PacketFormat::Xml));
  } catch (const db::Error&) {
  }
  return 0;
}
