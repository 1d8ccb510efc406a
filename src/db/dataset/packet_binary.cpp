// The binary data packet: a header, field descriptors with their properties, the dataset's
// properties, then one record per row (a status byte, two flag bits per field, the values).
#include <cmath>
#include <cstring>
#include <optional>

#include "db/core/text.h"
#include "db/dataset/byte_io.h"
#include "db/dataset/decimal.h"
#include "db/dataset/field_types.h"
#include "db/dataset/packet.h"
#include "db/dataset/table.h"
#include "db/dataset/text_encoding.h"

namespace db {
namespace {

namespace pt = packet_type;

constexpr char kMagic[] = {'\x96', '\x19', '\xE0', '\xBD'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kHeaderWord = 24;  // found in every packet; meaning unknown, kept as is
constexpr uint32_t kTrailerWord = 3;
constexpr size_t kHeaderBytes = 24;

// Record status bits. Original images and deleted rows are in the packet but not presented.
constexpr uint8_t kStatusOriginal = 0x01;
constexpr uint8_t kStatusDeleted = 0x02;

// Field flags, two bits per field after the status byte.
constexpr unsigned kFlagNull = 1;
constexpr unsigned kFlagUnchanged = 2;

// Date-times travel as milliseconds since 0001-01-01 counted from day 1; the zero date
// 1899-12-30 is day 693594 of that count.
constexpr int64_t kZeroDateDay = 693594;
constexpr int64_t kMsPerDay = DateTime::kMsPerDay;

constexpr std::string_view kWidth = "WIDTH";
constexpr std::string_view kDecimals = "DECIMALS";
constexpr std::string_view kSubtype = "SUBTYPE";

// The per-field layout of records: how wide a length prefix is, and the child layout of a
// nested field.
struct Layout {
  uint16_t prefix = 0;
  uint16_t fixedSize = 0;
  std::vector<Layout> children;
};

// ---- reading ----

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

// ---- writing ----

class BinaryWriter {
 public:
  std::string write(const Table& t) {
    w_.bytes(std::string_view(kMagic, 4));
    w_.u32(kVersion);
    w_.u32(kHeaderWord);
    if (t.fields().size() > UINT16_MAX) throw PacketError("too many fields for a data packet");
    w_.u16(static_cast<uint16_t>(t.fields().size()));
    w_.u32(static_cast<uint32_t>(t.rowCount()));
    w_.u32(kTrailerWord);
    const size_t headerSizeAt = w_.size();
    w_.u16(0);
    std::vector<Layout> layout = layoutOf(t.fields(), {&t});
    writeFields(t.fields(), layout);
    writeParams(t.params());
    if (w_.size() > UINT16_MAX) {
      throw PacketError("field and property descriptions exceed the packet header's 65535 bytes");
    }
    w_.patchU16(headerSizeAt, static_cast<uint16_t>(w_.size()));
    writeRecords(t, layout);
    return std::move(w_.out());
  }

 private:
  // Length prefixes sized from the data: one byte where every value fits, as readers of
  // short strings expect, wider where one does not.
  static std::vector<Layout> layoutOf(const std::vector<FieldDef>& defs,
                                      const std::vector<const Table*>& tables) {
    std::vector<Layout> layout(defs.size());
    for (size_t f = 0; f < defs.size(); ++f) {
      const FieldDef& def = defs[f];
      if (def.type == FieldType::Nested) {
        std::vector<const Table*> children;
        for (const Table* t : tables) {
          for (const uint32_t slot : t->order()) {
            if (const Table* c = t->column(f).child(slot)) children.push_back(c);
          }
        }
        layout[f].children = layoutOf(def.children, children);
        continue;
      }
      const bool wide = def.type == FieldType::WideString;
      if (def.type == FieldType::Blob) {
        layout[f].prefix = 4;
      } else if (def.type == FieldType::String || def.type == FieldType::FixedString || wide) {
        size_t longest = 0;
        for (const Table* t : tables) {
          for (const uint32_t slot : t->order()) {
            longest = std::max(longest, t->column(f).bytes(slot).size() * (wide ? 2 : 1));
          }
        }
        const bool shortField = !wide && def.size <= 255 && longest <= 255;
        layout[f].prefix = shortField ? 1 : (longest <= UINT16_MAX ? 2 : 4);
      }
    }
    return layout;
  }

  // Names and property texts are single-byte in a binary packet.
  static std::string singleByte(std::string_view text, std::string_view what) {
    try {
      return utf8ToCp1252Exact(text);
    } catch (const std::invalid_argument& e) {
      throw PacketError(std::string(what) + ": " + e.what());
    }
  }

  void writeName(std::string_view name) {
    const std::string bytes = singleByte(name, "name");
    if (bytes.size() > 255) throw PacketError("name longer than 255 bytes: " + std::string(name));
    w_.u8(static_cast<uint8_t>(bytes.size()));
    w_.bytes(bytes);
  }

  void writeIntParam(std::string_view name, int64_t value) {
    PacketParam p;
    p.name = std::string(name);
    p.kind = PacketParam::Kind::UInt;
    p.byteSize = value > UINT16_MAX ? 4 : 2;
    p.ints = {value};
    writeParam(p);
  }

  void writeParam(const PacketParam& p) {
    writeName(p.name);
    switch (p.kind) {
      case PacketParam::Kind::Int:
      case PacketParam::Kind::UInt:
      case PacketParam::Kind::Bool: {
        const uint16_t kind = p.kind == PacketParam::Kind::Int
                                  ? pt::kInt
                                  : (p.kind == PacketParam::Kind::UInt ? pt::kUInt : pt::kBool);
        const int size = p.byteSize == 1 || p.byteSize == 2 || p.byteSize == 8 ? p.byteSize : 4;
        w_.u16(static_cast<uint16_t>(size));
        w_.u16(kind);
        w_.unsignedLe(static_cast<uint64_t>(p.ints.empty() ? 0 : p.ints[0]), size);
        return;
      }
      case PacketParam::Kind::IntList: {
        bool negative = false;
        for (const int64_t v : p.ints) negative = negative || v < 0;
        const int size = p.byteSize == 1 || p.byteSize == 2 || p.byteSize == 8 ? p.byteSize : 4;
        w_.u16(static_cast<uint16_t>(size));
        w_.u16(pt::kArray | (negative ? pt::kInt : pt::kUInt));
        w_.u32(static_cast<uint32_t>(p.ints.size()));
        for (const int64_t v : p.ints) w_.unsignedLe(static_cast<uint64_t>(v), size);
        return;
      }
      case PacketParam::Kind::Text: {
        const std::string bytes = singleByte(p.text, "property " + p.name) + '\0';
        const bool shortText = bytes.size() <= UINT16_MAX;
        w_.u16(shortText ? 2 : 4);
        w_.u16(pt::kVarying | pt::kAnsiString);
        w_.unsignedLe(bytes.size(), shortText ? 2 : 4);
        w_.bytes(bytes);
        return;
      }
      case PacketParam::Kind::Raw:
        if (p.rawType & pt::kVarying) {
          w_.u16(static_cast<uint16_t>(p.byteSize));
          w_.u16(p.rawType);
          w_.unsignedLe(p.text.size(), p.byteSize);
        } else {
          w_.u16(static_cast<uint16_t>(p.text.size()));
          w_.u16(p.rawType);
        }
        w_.bytes(p.text);
        return;
    }
  }

  void writeFields(const std::vector<FieldDef>& defs, const std::vector<Layout>& layout) {
    for (size_t f = 0; f < defs.size(); ++f) {
      const FieldDef& def = defs[f];
      const FieldTypeInfo& info = typeInfo(def.type);
      writeName(def.name);
      uint16_t size = layout[f].prefix;
      uint16_t code = info.binaryKind;
      if (def.type == FieldType::Nested) {
        size = static_cast<uint16_t>(def.children.size());
      } else if (info.fixedSize) {
        size = info.fixedSize;
      } else {
        code |= pt::kVarying;
      }
      w_.u16(size);
      w_.u16(code);
      w_.u16(def.attributes);
      const bool widthProp = def.size > 0 && def.type != FieldType::Nested && !isInteger(def);
      const bool decimalsProp = def.type == FieldType::Bcd;
      const size_t count = def.extraProps.size() + !def.subtype.empty() + widthProp + decimalsProp;
      if (count > UINT16_MAX) throw PacketError("too many properties on field " + def.name);
      w_.u16(static_cast<uint16_t>(count));
      if (!def.subtype.empty()) {
        PacketParam p{std::string(kSubtype), PacketParam::Kind::Text, 0, {}, def.subtype, 0};
        writeParam(p);
      }
      if (widthProp) writeIntParam(kWidth, def.size);
      if (decimalsProp) writeIntParam(kDecimals, def.decimals);
      for (const PacketParam& p : def.extraProps) writeParam(p);
      if (def.type == FieldType::Nested) writeFields(def.children, layout[f].children);
    }
  }

  static bool isInteger(const FieldDef& def) {
    return typeInfo(def.type).binaryKind == pt::kInt || typeInfo(def.type).binaryKind == pt::kUInt;
  }

  void writeParams(const std::vector<PacketParam>& params) {
    if (params.size() > UINT16_MAX) throw PacketError("too many dataset properties");
    w_.u16(static_cast<uint16_t>(params.size()));
    for (const PacketParam& p : params) writeParam(p);
  }

  void writeRecords(const Table& t, const std::vector<Layout>& layout) {
    const size_t n = t.fields().size();
    std::string flags((n * 2 + 7) / 8, '\0');
    for (const uint32_t slot : t.order()) {
      std::fill(flags.begin(), flags.end(), '\0');
      for (size_t f = 0; f < n; ++f) {
        if (t.column(f).isNull(slot)) {
          flags[f / 4] = static_cast<char>(flags[f / 4] | (kFlagNull << ((f % 4) * 2)));
        }
      }
      w_.u8(0);
      w_.bytes(flags);
      for (size_t f = 0; f < n; ++f) {
        if (!t.column(f).isNull(slot)) writeValue(t, layout[f], slot, f);
      }
    }
  }

  void writeVarying(const Layout& lay, std::string_view bytes) {
    w_.unsignedLe(bytes.size(), lay.prefix);
    w_.bytes(bytes);
  }

  void writeValue(const Table& t, const Layout& lay, uint32_t slot, size_t f) {
    const FieldDef& def = t.fields()[f];
    const ColumnStore& c = t.column(f);
    try {
      switch (def.type) {
        case FieldType::String:
        case FieldType::FixedString:
          writeVarying(lay, utf8ToCp1252Exact(c.bytes(slot)));
          return;
        case FieldType::WideString:
          writeVarying(lay, utf8ToUtf16le(c.bytes(slot)));
          return;
        case FieldType::Blob:
          if (def.subtype == "Text") {
            writeVarying(lay, utf8ToCp1252Exact(c.bytes(slot)));
          } else if (def.subtype == "WideText") {
            writeVarying(lay, utf8ToUtf16le(c.bytes(slot)));
          } else {
            writeVarying(lay, c.bytes(slot));
          }
          return;
        case FieldType::Float:
          w_.f64(c.real(slot));
          return;
        case FieldType::Bcd: {
          const BcdBytes b = encodeBcd(c.bytes(slot));
          w_.bytes(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
          return;
        }
        case FieldType::Boolean:
          w_.u16(c.word(slot) ? 1 : 0);
          return;
        case FieldType::Date:
          w_.u32(static_cast<uint32_t>(floorDiv(c.word(slot), kMsPerDay) + kZeroDateDay));
          return;
        case FieldType::Time:
          w_.u32(
              static_cast<uint32_t>(c.word(slot) - floorDiv(c.word(slot), kMsPerDay) * kMsPerDay));
          return;
        case FieldType::DateTime:
          w_.f64(static_cast<double>(c.word(slot) + kZeroDateDay * kMsPerDay));
          return;
        case FieldType::SqlDateTime: {
          const DateTime::Parts p = DateTime(c.word(slot)).parts();
          w_.u16(static_cast<uint16_t>(p.year));
          for (const int v : {p.month, p.day, p.hour, p.minute, p.second}) {
            w_.u16(static_cast<uint16_t>(v));
          }
          w_.u32(static_cast<uint32_t>(p.millisecond));
          return;
        }
        case FieldType::Nested: {
          const Table* child = c.child(slot);
          w_.u32(static_cast<uint32_t>(child->rowCount()));
          writeRecords(*child, lay.children);
          return;
        }
        default:
          w_.unsignedLe(static_cast<uint64_t>(c.word(slot)), typeInfo(def.type).fixedSize);
          return;
      }
    } catch (const std::invalid_argument& e) {
      throw PacketError("field " + def.name + ": " + e.what());
    }
  }

  static int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
  }

  ByteWriter w_;
};

}  // namespace

bool looksLikeBinaryPacket(std::string_view bytes) {
  return bytes.size() >= 4 && std::memcmp(bytes.data(), kMagic, 4) == 0;
}

std::unique_ptr<Table> readBinaryPacket(std::string_view bytes, std::string_view source) {
  return BinaryReader(bytes, source).read();
}

std::string writeBinaryPacket(const Table& table) { return BinaryWriter().write(table); }

}  // namespace db
