// Reading the binary data packet: a header, field descriptors with their properties, the
// dataset's properties, then one record per row (a status byte, two flag bits per field, the
// values).
#include <cmath>
#include <cstring>
#include <optional>

#include "db/core/text.h"
#include "db/dataset/binary_packet_format.h"
#include "db/dataset/byte_io.h"
#include "db/dataset/decimal.h"
#include "db/dataset/field_types.h"
#include "db/dataset/packet.h"
#include "db/dataset/table.h"
#include "db/dataset/text_encoding.h"

namespace db {
namespace {

namespace pt = packet_type;
using namespace binary_packet;

class BinaryReader {
 public:
  BinaryReader(std::string_view bytes, std::string_view source) : r_(bytes, source) {}

  std::unique_ptr<Table> read() {
    const std::string_view magic = r_.bytes(4, "magic");
    if (std::memcmp(magic.data(), kMagic, 4) != 0) r_.failAt(0, "not a binary data packet");
    r_.u32("version");
    r_.u32("header word");
    const uint16_t fieldCount = r_.u16("field count");
    const int64_t recordCount = r_.signedLe(4, "record count");
    r_.u32("header word");
    const size_t headerSize = r_.u16("header size");
    if (recordCount < 0) r_.failAt(14, "negative record count " + std::to_string(recordCount));
    if (fieldCount > packet_limits::kMaxFields) {
      r_.failAt(12, "absurd field count " + std::to_string(fieldCount));
    }
    std::vector<FieldDef> defs;
    std::vector<Layout> layout;
    for (uint16_t i = 0; i < fieldCount; ++i) readField(defs, layout, 0);
    auto table = std::make_unique<Table>(std::move(defs));
    const uint16_t paramCount = r_.u16("property count");
    for (uint16_t i = 0; i < paramCount; ++i) table->params().push_back(readParam());
    if (headerSize != r_.position() && headerSize != 0) {
      r_.fail("header size " + std::to_string(headerSize) + " does not match the " +
              std::to_string(r_.position()) + " bytes of field and property descriptions");
    }
    readRecords(*table, layout, static_cast<uint64_t>(recordCount), 0);
    if (r_.remaining() != 0) {
      r_.fail(std::to_string(r_.remaining()) + " bytes after the last record");
    }
    table->shrink();
    return table;
  }

 private:
  std::string readName(const char* what) {
    const uint8_t len = r_.u8(what);
    return cp1252ToUtf8(r_.bytes(len, what));
  }

  PacketParam readParam() {
    const size_t at = r_.position();
    PacketParam p;
    p.name = readName("property name");
    const uint16_t size = r_.u16("property size");
    const uint16_t type = r_.u16("property type");
    const uint16_t kind = type & pt::kKindMask;
    if (type & pt::kArray) {
      if (size != 1 && size != 2 && size != 4 && size != 8) {
        r_.failAt(at, "property " + p.name + ": bad element size " + std::to_string(size));
      }
      const uint32_t count = r_.u32("property element count");
      if (static_cast<uint64_t>(count) * size > r_.remaining()) {
        r_.failAt(at, "property " + p.name + ": element count " + std::to_string(count) +
                          " points past the end");
      }
      p.kind = PacketParam::Kind::IntList;
      p.byteSize = size;
      for (uint32_t i = 0; i < count; ++i) {
        p.ints.push_back(kind == pt::kInt
                             ? r_.signedLe(size, "property element")
                             : static_cast<int64_t>(r_.unsignedLe(size, "property element")));
      }
      return p;
    }
    if (type & pt::kVarying) {
      if (size != 1 && size != 2 && size != 4) {
        r_.failAt(at, "property " + p.name + ": bad length width " + std::to_string(size));
      }
      std::string_view bytes = r_.bytes(r_.unsignedLe(size, "property length"), "property value");
      if (kind == pt::kAnsiString) {
        while (!bytes.empty() && bytes.back() == '\0') bytes.remove_suffix(1);
        p.kind = PacketParam::Kind::Text;
        p.text = cp1252ToUtf8(bytes);
      } else {
        p.kind = PacketParam::Kind::Raw;
        p.rawType = type;
        p.byteSize = size;
        p.text = std::string(bytes);
      }
      return p;
    }
    const bool intLike = kind == pt::kInt || kind == pt::kUInt || kind == pt::kBool;
    if (intLike && (size == 1 || size == 2 || size == 4 || size == 8)) {
      p.byteSize = size;
      p.kind = kind == pt::kInt
                   ? PacketParam::Kind::Int
                   : (kind == pt::kUInt ? PacketParam::Kind::UInt : PacketParam::Kind::Bool);
      p.ints.push_back(kind == pt::kInt
                           ? r_.signedLe(size, "property value")
                           : static_cast<int64_t>(r_.unsignedLe(size, "property value")));
      return p;
    }
    p.kind = PacketParam::Kind::Raw;
    p.rawType = type;
    p.byteSize = size;
    p.text = std::string(r_.bytes(size, "property value"));
    return p;
  }

  void readField(std::vector<FieldDef>& defs, std::vector<Layout>& layout, int depth) {
    if (++fieldsSeen_ > packet_limits::kMaxFields) r_.fail("too many field descriptions");
    const size_t at = r_.position();
    FieldDef def;
    def.name = readName("field name");
    const uint16_t size = r_.u16("field size");
    const uint16_t type = r_.u16("field type");
    def.attributes = r_.u16("field attributes");
    const uint16_t propCount = r_.u16("field property count");
    for (uint16_t i = 0; i < propCount; ++i) {
      PacketParam p = readParam();
      const bool number = !p.ints.empty() && p.kind != PacketParam::Kind::IntList;
      if (p.name == kWidth && number) {
        def.size = static_cast<int>(p.ints[0]);
      } else if (p.name == kDecimals && number) {
        def.decimals = static_cast<int>(p.ints[0]);
      } else if (p.name == kSubtype && p.kind == PacketParam::Kind::Text) {
        def.subtype = p.text;
      } else {
        def.extraProps.push_back(std::move(p));
      }
    }
    const std::optional<FieldType> ft = typeFromBinary(type, size, def.subtype);
    if (!ft) {
      r_.failAt(at, "field " + def.name + ": unknown field type 0x" + hex(type) + " of size " +
                        std::to_string(size));
    }
    def.type = *ft;
    Layout lay;
    lay.fixedSize = typeInfo(def.type).fixedSize;
    if (type & pt::kVarying) {
      if (size != 1 && size != 2 && size != 4) {
        r_.failAt(at, "field " + def.name + ": bad length width " + std::to_string(size));
      }
      lay.prefix = size;
    }
    if (def.type == FieldType::Nested) {
      if (depth + 1 > packet_limits::kMaxNesting) r_.failAt(at, "nested datasets too deep");
      for (uint16_t i = 0; i < size; ++i) readField(def.children, lay.children, depth + 1);
    }
    defs.push_back(std::move(def));
    layout.push_back(std::move(lay));
  }

  void readRecords(Table& t, const std::vector<Layout>& layout, uint64_t count, int depth) {
    const size_t n = t.fields().size();
    const size_t flagBytes = (n * 2 + 7) / 8;
    if (count > r_.remaining() / (1 + flagBytes)) {
      r_.fail("record count " + std::to_string(count) + " points past the end");
    }
    if (depth == 0) t.reserve(count, r_.remaining());
    const uint32_t first = t.appendSlots(count);
    std::vector<uint32_t> hidden;
    std::optional<uint32_t> original;
    for (uint64_t rec = 0; rec < count; ++rec) {
      const size_t at = r_.position();
      const uint8_t status = r_.u8("record status");
      const std::string_view flags = r_.bytes(flagBytes, "field flags");
      const uint32_t slot = first + static_cast<uint32_t>(rec);
      for (size_t f = 0; f < n; ++f) {
        const unsigned flag = (static_cast<uint8_t>(flags[f / 4]) >> ((f % 4) * 2)) & 3;
        if (flag == 0) [[likely]] {
          readValue(t, layout[f], slot, f, depth);
        } else if (flag == kFlagUnchanged) {
          if (!original) r_.failAt(at, "unchanged field without an original record");
          t.column(f).copyCell(slot, t.column(f), *original);
        } else if (flag != kFlagNull) {
          r_.failAt(at, "bad field flags in record " + std::to_string(rec));
        }
      }
      if (status & (kStatusOriginal | kStatusDeleted)) {
        hidden.push_back(slot);
        if (status & kStatusOriginal) original = slot;
      }
    }
    t.hideSlots(hidden);
  }

  void readValue(Table& t, const Layout& lay, uint32_t slot, size_t f, int depth) {
    const FieldDef& def = t.fields()[f];
    ColumnStore& c = t.column(f);
    const size_t at = r_.position();
    switch (def.type) {
      case FieldType::String:
      case FieldType::FixedString:
        setSingleByteText(c, slot, varying(lay));
        return;
      case FieldType::WideString:
        c.setBytes(slot, wideText(def, varying(lay), at));
        return;
      case FieldType::Blob:
        setBlob(def, c, slot, varying(lay));
        return;
      case FieldType::Int8:
      case FieldType::Int16:
      case FieldType::Int32:
      case FieldType::Int64:
        c.setWord(slot, r_.signedLe(lay.fixedSize, "integer value"));
        return;
      case FieldType::UInt8:
      case FieldType::UInt16:
      case FieldType::UInt32:
      case FieldType::UInt64:
        c.setWord(slot, static_cast<int64_t>(r_.unsignedLe(lay.fixedSize, "integer value")));
        return;
      case FieldType::Float:
        c.setReal(slot, r_.f64("float value"));
        return;
      case FieldType::Bcd:
        c.setBytes(slot, bcdText(def, at));
        return;
      case FieldType::Boolean:
        c.setWord(slot, r_.u16("boolean value") != 0 ? 1 : 0);
        return;
      case FieldType::Date:
        c.setWord(slot, (r_.signedLe(4, "date value") - kZeroDateDay) * kMsPerDay);
        return;
      case FieldType::Time:
        c.setWord(slot, timeOfDay(def, at));
        return;
      case FieldType::DateTime:
        c.setWord(slot, dateTime(def, at));
        return;
      case FieldType::SqlDateTime:
        c.setWord(slot, timestamp(def, at));
        return;
      case FieldType::Nested: {
        const uint32_t count = r_.u32("nested record count");
        Table& child = t.ensureChild(slot, f);
        readRecords(child, lay.children, count, depth + 1);
        return;
      }
    }
  }

  // Texts arrive in code page 1252; plain ASCII is stored as it is, without a conversion.
  static void setSingleByteText(ColumnStore& c, uint32_t slot, std::string_view b) {
    if (isAscii(b)) {
      c.setBytes(slot, b);
    } else {
      c.setBytes(slot, cp1252ToUtf8(b));
    }
  }

  std::string wideText(const FieldDef& def, std::string_view b, size_t at) {
    if (b.size() % 2) r_.failAt(at, "field " + def.name + ": odd length of a wide string");
    return utf16leToUtf8(b);
  }

  static void setBlob(const FieldDef& def, ColumnStore& c, uint32_t slot, std::string_view b) {
    if (def.subtype == "Text") {
      setSingleByteText(c, slot, b);
    } else if (def.subtype == "WideText") {
      c.setBytes(slot, utf16leToUtf8(b));
    } else {
      c.setBytes(slot, b);
    }
  }

  std::string bcdText(const FieldDef& def, size_t at) {
    const std::string_view b = r_.bytes(kBcdBytes, "BCD value");
    try {
      return decodeBcd(reinterpret_cast<const uint8_t*>(b.data()));
    } catch (const std::invalid_argument& e) {
      r_.failAt(at, "field " + def.name + ": " + e.what());
    }
  }

  int64_t timeOfDay(const FieldDef& def, size_t at) {
    const int64_t ms = r_.signedLe(4, "time value");
    if (ms < 0 || ms >= kMsPerDay)
      r_.failAt(at, "field " + def.name + ": bad time " + std::to_string(ms));
    return ms;
  }

  int64_t dateTime(const FieldDef& def, size_t at) {
    const double ms = r_.f64("date-time value");
    // Beyond year 9999 or before year 1 is no date-time; such a value is corrupt.
    if (!std::isfinite(ms) || ms < 0 || ms > 3.2e14) {
      r_.failAt(at, "field " + def.name + ": bad date-time");
    }
    return static_cast<int64_t>(std::llround(ms)) - kZeroDateDay * kMsPerDay;
  }

  int64_t timestamp(const FieldDef& def, size_t at) {
    const int year = static_cast<int>(r_.signedLe(2, "timestamp"));
    int part[5];
    for (int& p : part) p = r_.u16("timestamp");
    const uint32_t fraction = r_.u32("timestamp");
    try {
      return DateTime::fromParts(year, part[0], part[1], part[2], part[3], part[4],
                                 static_cast<int>(fraction))
          .msSinceZero();
    } catch (const std::invalid_argument&) {
      r_.failAt(at, "field " + def.name + ": bad timestamp");
    }
  }

  std::string_view varying(const Layout& lay) {
    const uint64_t len = r_.unsignedLe(lay.prefix, "value length");
    return r_.bytes(len, "value");
  }

  static std::string hex(uint16_t v) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (int shift = 12; shift >= 0; shift -= 4) s += kDigits[(v >> shift) & 0xF];
    return s;
  }

  ByteReader r_;
  size_t fieldsSeen_ = 0;
};

}  // namespace

bool looksLikeBinaryPacket(std::string_view bytes) {
  return bytes.size() >= 4 && std::memcmp(bytes.data(), kMagic, 4) == 0;
}

std::unique_ptr<Table> readBinaryPacket(std::string_view bytes, std::string_view source) {
  return BinaryReader(bytes, source).read();
}

}  // namespace db
