#include "db/dataset/binary_packet_encoder.h"

#include <bit>

#include "db/dataset/decimal.h"
#include "db/dataset/field_types.h"
#include "db/dataset/packet.h"
#include "db/dataset/text_encoding.h"

namespace db::binary_packet {
namespace {

namespace pt = packet_type;

// Names and property texts are single-byte in a binary packet.
std::string singleByte(std::string_view text, std::string_view what) {
  try {
    return utf8ToCp1252Exact(text);
  } catch (const std::invalid_argument& e) {
    throw PacketError(std::string(what) + ": " + e.what());
  }
}

bool isInteger(const FieldDef& def) {
  return typeInfo(def.type).binaryKind == pt::kInt || typeInfo(def.type).binaryKind == pt::kUInt;
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

uint16_t prefixFor(const FieldDef& def, size_t longest) {
  switch (def.type) {
    case FieldType::Blob:
      return 4;
    case FieldType::String:
    case FieldType::FixedString:
      if (def.size <= 255 && longest <= 255) return 1;
      return longest <= UINT16_MAX ? 2 : 4;
    case FieldType::WideString:
      return longest * 2 <= UINT16_MAX ? 2 : 4;
    default:
      return 0;
  }
}

size_t Encoder::header(const std::vector<FieldDef>& fields, const std::vector<PacketParam>& params,
                       const std::vector<Layout>& layout, size_t rowCount) {
  w_.bytes(std::string_view(kMagic, 4));
  w_.u32(kVersion);
  w_.u32(kHeaderWord);
  if (fields.size() > UINT16_MAX) throw PacketError("too many fields for a data packet");
  w_.u16(static_cast<uint16_t>(fields.size()));
  const size_t rowCountAt = w_.size();
  w_.u32(static_cast<uint32_t>(rowCount));
  w_.u32(kTrailerWord);
  const size_t headerSizeAt = w_.size();
  w_.u16(0);
  writeFields(fields, layout, true);
  writeParams(params);
  if (w_.size() > UINT16_MAX) {
    throw PacketError("field and property descriptions exceed the packet header's 65535 bytes");
  }
  w_.patchU16(headerSizeAt, static_cast<uint16_t>(w_.size()));
  return rowCountAt;
}

void Encoder::writeName(std::string_view name) {
  const std::string bytes = singleByte(name, "name");
  if (bytes.size() > 255) throw PacketError("name longer than 255 bytes: " + std::string(name));
  w_.u8(static_cast<uint8_t>(bytes.size()));
  w_.bytes(bytes);
}

void Encoder::writeIntParam(std::string_view name, int64_t value) {
  PacketParam p;
  p.name = std::string(name);
  p.kind = PacketParam::Kind::UInt;
  p.byteSize = value > UINT16_MAX ? 4 : 2;
  p.ints = {value};
  writeParam(p);
}

void Encoder::writeParam(const PacketParam& p) {
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

void Encoder::writeFields(const std::vector<FieldDef>& defs, const std::vector<Layout>& layout,
                          bool topLevel) {
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
    if (topLevel) fieldSizeAt_.push_back(w_.size());
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
    if (def.type == FieldType::Nested) writeFields(def.children, layout[f].children, false);
  }
}

void Encoder::writeParams(const std::vector<PacketParam>& params) {
  if (params.size() > UINT16_MAX) throw PacketError("too many dataset properties");
  w_.u16(static_cast<uint16_t>(params.size()));
  for (const PacketParam& p : params) writeParam(p);
}

void Encoder::writeVarying(uint16_t prefix, std::string_view bytes) {
  w_.unsignedLe(bytes.size(), prefix);
  w_.bytes(bytes);
}

// Plain ASCII is the same in code page 1252 and needs no converted copy.
void Encoder::writeSingleByte(uint16_t prefix, std::string_view utf8) {
  if (isAscii(utf8)) {
    writeVarying(prefix, utf8);
  } else {
    writeVarying(prefix, utf8ToCp1252Exact(utf8));
  }
}

void Encoder::value(const FieldDef& def, uint16_t prefix, int64_t word, std::string_view bytes) {
  try {
    switch (def.type) {
      case FieldType::String:
      case FieldType::FixedString:
        writeSingleByte(prefix, bytes);
        return;
      case FieldType::WideString:
        writeVarying(prefix, utf8ToUtf16le(bytes));
        return;
      case FieldType::Blob:
        if (def.subtype == "Text") {
          writeSingleByte(prefix, bytes);
        } else if (def.subtype == "WideText") {
          writeVarying(prefix, utf8ToUtf16le(bytes));
        } else {
          writeVarying(prefix, bytes);
        }
        return;
      case FieldType::Float:
        w_.f64(std::bit_cast<double>(word));
        return;
      case FieldType::Bcd: {
        const BcdBytes b = encodeBcd(bytes);
        w_.bytes(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
        return;
      }
      case FieldType::Boolean:
        w_.u16(word ? 1 : 0);
        return;
      case FieldType::Date:
        w_.u32(static_cast<uint32_t>(floorDiv(word, kMsPerDay) + kZeroDateDay));
        return;
      case FieldType::Time:
        w_.u32(static_cast<uint32_t>(word - floorDiv(word, kMsPerDay) * kMsPerDay));
        return;
      case FieldType::DateTime:
        w_.f64(static_cast<double>(word + kZeroDateDay * kMsPerDay));
        return;
      case FieldType::SqlDateTime: {
        const DateTime::Parts p = DateTime(word).parts();
        w_.u16(static_cast<uint16_t>(p.year));
        for (const int v : {p.month, p.day, p.hour, p.minute, p.second}) {
          w_.u16(static_cast<uint16_t>(v));
        }
        w_.u32(static_cast<uint32_t>(p.millisecond));
        return;
      }
      case FieldType::Nested:
        throw PacketError("field " + def.name + ": a nested dataset is no single value");
      default:
        w_.unsignedLe(static_cast<uint64_t>(word), typeInfo(def.type).fixedSize);
        return;
    }
  } catch (const std::invalid_argument& e) {
    throw PacketError("field " + def.name + ": " + e.what());
  }
}

}  // namespace db::binary_packet
