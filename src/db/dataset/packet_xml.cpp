// The XML data packet: <DATAPACKET Version="2.0"> with METADATA (FIELDS, PARAMS) and ROWDATA,
// one ROW element per row whose attributes hold the values; nested rows are child elements.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <unordered_set>

#include "db/core/base64.h"
#include "db/core/named_table.h"
#include "db/core/number_text.h"
#include "db/core/text.h"
#include "db/dataset/decimal.h"
#include "db/dataset/field_types.h"
#include "db/dataset/packet.h"
#include "db/dataset/table.h"
#include "db/dataset/text_encoding.h"
#include "db/dataset/xml_scanner.h"

namespace db {
namespace {

constexpr std::string_view kRowState = "RowState";
constexpr int kRowStateOriginal = 0x01;
constexpr int kRowStateDeleted = 0x02;

// Dataset properties whose XML text is a number list or a number; others are read as numbers
// when they look like one, else as text.
struct KnownParam {
  std::string_view name;
  PacketParam::Kind kind;
  int byteSize;
};
constexpr KnownParam kKnownParams[] = {
    {"DEFAULT_ORDER", PacketParam::Kind::IntList, 2},
    {"PRIMARY_KEY", PacketParam::Kind::IntList, 2},
    {"CHANGE_LOG", PacketParam::Kind::IntList, 4},
    {"LCID", PacketParam::Kind::Int, 4},
};

// Field attributes with a meaning of their own; any other attribute is kept as a property.
constexpr std::string_view kAttrName = "attrname";
constexpr std::string_view kFieldName = "fieldname";
constexpr std::string_view kFieldType = "fieldtype";
constexpr std::string_view kWidth = "WIDTH";
constexpr std::string_view kDecimals = "DECIMALS";
constexpr std::string_view kSubtype = "SUBTYPE";

// A flag attribute's name and its field_attr bit.
using AttrFlag = Named<uint16_t>;
constexpr AttrFlag kAttrFlags[] = {
    {"hidden", field_attr::kHidden},
    {"readonly", field_attr::kReadOnly},
    {"required", field_attr::kRequired},
    {"linkfield", field_attr::kLink},
};

std::optional<double> parseDouble(std::string_view s) {
  const auto v = parseNumber<double>(s);
  if (!v || !std::isfinite(*v)) return std::nullopt;
  return v;
}

bool digitsAt(std::string_view s, size_t pos, size_t n, int& out) {
  if (pos + n > s.size()) return false;
  out = 0;
  for (size_t i = 0; i < n; ++i) {
    const char c = s[pos + i];
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  return true;
}

// "HH:MM:SS" with an optional three-digit millisecond part straight after the seconds.
std::optional<int64_t> parseClock(std::string_view s) {
  int h, m, sec, ms = 0;
  if (s.size() != 8 && s.size() != 11) return std::nullopt;
  if (!digitsAt(s, 0, 2, h) || s[2] != ':' || !digitsAt(s, 3, 2, m) || s[5] != ':' ||
      !digitsAt(s, 6, 2, sec) || (s.size() == 11 && !digitsAt(s, 8, 3, ms))) {
    return std::nullopt;
  }
  if (h > 23 || m > 59 || sec > 59) return std::nullopt;
  return ((h * 60 + m) * 60 + sec) * 1000LL + ms;
}

// "YYYYMMDD", optionally followed by "T" and a clock.
std::optional<int64_t> parseDateTime(std::string_view s) {
  int y, mo, d;
  if (s.size() < 8 || !digitsAt(s, 0, 4, y) || !digitsAt(s, 4, 2, mo) || !digitsAt(s, 6, 2, d)) {
    return std::nullopt;
  }
  int64_t clock = 0;
  if (s.size() > 8) {
    if (s[8] != 'T') return std::nullopt;
    const auto c = parseClock(s.substr(9));
    if (!c) return std::nullopt;
    clock = *c;
  }
  try {
    return DateTime::fromParts(y, mo, d).msSinceZero() + clock;
  } catch (const std::invalid_argument&) {
    return std::nullopt;
  }
}

PacketParam paramFromText(std::string_view name, const std::string& text) {
  PacketParam p;
  p.name = std::string(name);
  for (const KnownParam& known : kKnownParams) {
    if (known.name != name) continue;
    p.kind = known.kind;
    p.byteSize = known.byteSize;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find(' ', start);
      if (end == std::string::npos) end = text.size();
      if (end > start) {
        const auto v = parseNumber<int64_t>(std::string_view(text).substr(start, end - start));
        if (!v) break;
        p.ints.push_back(*v);
      }
      start = end + 1;
    }
    if (known.kind == PacketParam::Kind::Int && p.ints.size() == 1) return p;
    if (known.kind == PacketParam::Kind::IntList && start >= text.size()) return p;
    p.ints.clear();
  }
  if (const auto v = parseNumber<int64_t>(text); v && *v >= INT32_MIN && *v <= INT32_MAX) {
    p.kind = PacketParam::Kind::Int;
    p.byteSize = 4;
    p.ints = {*v};
    return p;
  }
  p.kind = PacketParam::Kind::Text;
  p.text = text;
  return p;
}

// ---- reading ----

class XmlReader {
 public:
  XmlReader(std::string_view text, std::string_view source)
      : x_(text, source), cellBudget_(4 * text.size() + kCellAllowance) {}

  std::unique_ptr<Table> read() {
    expectStart("DATAPACKET");
    expectStart("METADATA");
    std::vector<FieldDef> defs;
    Shape shape;
    std::vector<PacketParam> params;
    readMetadata(defs, shape, params, 0);
    auto table = std::make_unique<Table>(std::move(defs));
    table->params() = std::move(params);
    if (nextEvent() == XmlScanner::Event::Start) {
      if (x_.name() != "ROWDATA")
        x_.fail("<ROWDATA> expected, found <" + std::string(x_.name()) + ">");
      readRows(*table, shape, "ROW", 0);
      nextEvent();
    }
    if (x_.name() != "DATAPACKET") x_.fail("</DATAPACKET> expected");
    if (x_.next() != XmlScanner::Event::Eof) x_.fail("content after </DATAPACKET>");
    table->shrink();
    return table;
  }

 private:
  // The attribute names of one level's fields and the shapes of its nested fields.
  struct Shape {
    std::vector<std::string> attrNames;
    std::vector<Shape> children;
  };

  XmlScanner::Event nextEvent() {
    const auto e = x_.next();
    if (e == XmlScanner::Event::Eof) x_.fail("unexpected end of document");
    return e;
  }

  void expectStart(std::string_view name) {
    if (nextEvent() != XmlScanner::Event::Start || x_.name() != name) {
      x_.fail("<" + std::string(name) + "> expected");
    }
  }

  void skipElement() {
    for (int depth = 1; depth > 0;) depth += nextEvent() == XmlScanner::Event::Start ? 1 : -1;
  }

  // After <METADATA> (or inside a nested FIELD): FIELDS then an optional PARAMS, up to the end
  // of the enclosing element.
  void readMetadata(std::vector<FieldDef>& defs, Shape& shape, std::vector<PacketParam>& params,
                    int depth) {
    bool fieldsSeen = false;
    while (nextEvent() == XmlScanner::Event::Start) {
      if (x_.name() == "FIELDS" && !fieldsSeen) {
        fieldsSeen = true;
        while (nextEvent() == XmlScanner::Event::Start) {
          if (x_.name() != "FIELD") x_.fail("<FIELD> expected");
          readField(defs, shape, depth);
        }
      } else if (x_.name() == "PARAMS") {
        for (const XmlAttribute& a : x_.attributes())
          params.push_back(paramFromText(a.name, a.value));
        skipElement();
      } else {
        x_.fail("unexpected <" + std::string(x_.name()) + "> in the metadata");
      }
    }
    if (!fieldsSeen) x_.fail("<FIELDS> missing");
  }

  void readField(std::vector<FieldDef>& defs, Shape& shape, int depth) {
    if (++fieldsSeen_ > packet_limits::kMaxFields) x_.fail("too many fields");
    FieldDef def;
    const std::string* attrName = x_.find(kAttrName);
    const std::string* fieldType = x_.find(kFieldType);
    if (!attrName || !fieldType) x_.fail("FIELD without attrname or fieldtype");
    const std::string* fieldName = x_.find(kFieldName);
    def.name = fieldName ? *fieldName : *attrName;
    shape.attrNames.push_back(*attrName);
    const std::string typeText = *fieldType;
    for (const XmlAttribute& a : x_.attributes()) {
      if (a.name == kAttrName || a.name == kFieldName || a.name == kFieldType) continue;
      if (a.name == kSubtype) {
        def.subtype = a.value;
      } else if (a.name == kWidth || a.name == kDecimals) {
        const auto v = parseNumber<int64_t>(a.value);
        if (!v || *v < 0 || *v > INT32_MAX)
          x_.fail("field " + def.name + ": bad " + std::string(a.name));
        (a.name == kWidth ? def.size : def.decimals) = static_cast<int>(*v);
      } else if (const AttrFlag* flag = findFlag(a.name)) {
        if (iequals(a.value, "true")) def.attributes |= flag->value;
      } else {
        def.extraProps.push_back(paramFromText(a.name, a.value));
      }
    }
    const auto type = typeFromXml(typeText, def.subtype);
    if (!type) x_.fail("field " + def.name + ": unknown field type \"" + typeText + "\"");
    def.type = *type;
    Shape child;
    if (def.type == FieldType::Nested) {
      if (depth + 1 > packet_limits::kMaxNesting) x_.fail("nested datasets too deep");
      std::vector<PacketParam> childParams;
      readMetadata(def.children, child, childParams, depth + 1);
    } else {
      skipElement();
    }
    shape.children.push_back(std::move(child));
    defs.push_back(std::move(def));
  }

  static const AttrFlag* findFlag(std::string_view name) {
    for (const AttrFlag& f : kAttrFlags) {
      if (f.name == name) return &f;
    }
    return nullptr;
  }

  // Rows up to the end of the enclosing element (ROWDATA, or a nested field's element).
  void readRows(Table& t, const Shape& shape, std::string_view rowName, int depth) {
    const auto& defs = t.fields();
    while (nextEvent() == XmlScanner::Event::Start) {
      if (x_.name() != rowName && x_.name() != "ROW") {
        x_.fail("<" + std::string(rowName) + "> expected, found <" + std::string(x_.name()) + ">");
      }
      // "<ROW/>" costs six bytes but a cell per field; keep memory in proportion to the input.
      cells_ += defs.size();
      if (cells_ > cellBudget_) x_.fail("more rows and fields than a packet of this size can hold");
      const uint32_t slot = t.appendSlot();
      int rowState = 0;
      size_t hint = 0;
      for (const XmlAttribute& a : x_.attributes()) {
        if (a.name == kRowState) {
          const auto v = parseNumber<int64_t>(a.value);
          if (!v) x_.fail("bad RowState \"" + a.value + "\"");
          rowState = static_cast<int>(*v);
          continue;
        }
        const size_t f = fieldOf(shape, a.name, hint);
        hint = f + 1;
        readValue(t, slot, f, a.value);
      }
      while (nextEvent() == XmlScanner::Event::Start) {
        size_t h = 0;
        const size_t f = fieldOf(shape, x_.name(), h);
        if (defs[f].type != FieldType::Nested) x_.fail("field " + defs[f].name + " is not nested");
        const std::string childRow = "ROW" + shape.attrNames[f];
        readRows(t.ensureChild(slot, f), shape.children[f], childRow, depth + 1);
      }
      if (rowState & (kRowStateOriginal | kRowStateDeleted)) t.removeRow(t.rowCount() - 1);
    }
  }

  size_t fieldOf(const Shape& shape, std::string_view name, size_t hint) {
    if (hint < shape.attrNames.size() && shape.attrNames[hint] == name) return hint;
    for (size_t f = 0; f < shape.attrNames.size(); ++f) {
      if (shape.attrNames[f] == name) return f;
    }
    x_.fail("unknown field \"" + std::string(name) + "\" in a row");
  }

  void readValue(Table& t, uint32_t slot, size_t f, const std::string& text) {
    const FieldDef& def = t.fields()[f];
    ColumnStore& c = t.column(f);
    auto bad = [&]() {
      x_.fail("field " + def.name + ": bad value \"" + text.substr(0, 40) + "\"");
    };
    // The parsed value; a text that does not parse fails the packet.
    auto parsed = [&](auto value) {
      if (!value) bad();
      return std::move(*value);
    };
    switch (def.type) {
      case FieldType::String:
      case FieldType::FixedString:
      case FieldType::WideString:
        c.setBytes(slot, text);
        return;
      case FieldType::Blob:
        if (c.textual()) {
          c.setBytes(slot, text);
        } else {
          c.setBytes(slot, parsed(base64Decode(text)));
        }
        return;
      case FieldType::Float:
        c.setReal(slot, parsed(parseDouble(text)));
        return;
      case FieldType::Bcd:
        try {
          c.setBytes(slot, canonicalDecimal(text));
        } catch (const std::invalid_argument&) {
          bad();
        }
        return;
      case FieldType::Boolean:
        if (iequals(text, "TRUE") || text == "1") {
          c.setWord(slot, 1);
        } else if (iequals(text, "FALSE") || text == "0") {
          c.setWord(slot, 0);
        } else {
          bad();
        }
        return;
      case FieldType::Date:
      case FieldType::DateTime:
      case FieldType::SqlDateTime:
        if (def.type == FieldType::Date && text.size() != 8) bad();
        c.setWord(slot, parsed(parseDateTime(text)));
        return;
      case FieldType::Time:
        c.setWord(slot, parsed(parseClock(text)));
        return;
      case FieldType::Nested:
        x_.fail("field " + def.name + ": a nested dataset given as an attribute");
      default: {
        const int64_t v = parsed(parseNumber<int64_t>(text));
        try {
          t.store(slot, f, t.convert(f, Value(v)));
        } catch (const Error&) {
          bad();
        }
        return;
      }
    }
  }

  static constexpr size_t kCellAllowance = 1'000'000;

  XmlScanner x_;
  size_t fieldsSeen_ = 0;
  size_t cells_ = 0;
  size_t cellBudget_;
};

// ---- writing ----

std::string escape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '\r':
        out += "&#013;";
        break;
      case '\n':
        out += "&#010;";
        break;
      case '\t':
        out += "&#009;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// XML attribute names for field names that are not valid names: other characters become '_',
// and a clash with an earlier field gets a number.
std::vector<std::string> attributeNames(const std::vector<FieldDef>& defs) {
  std::vector<std::string> names;
  std::unordered_set<std::string> used{std::string(kRowState)};
  for (const FieldDef& def : defs) {
    std::string n;
    for (const char c : def.name) {
      const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '_' || static_cast<unsigned char>(c) >= 0x80;
      n += ok ? c : '_';
    }
    if (n.empty() || (n[0] >= '0' && n[0] <= '9')) n = "_" + n;
    std::string unique = n;
    for (int k = 1; used.count(unique); ++k) unique = n + "_" + std::to_string(k);
    used.insert(unique);
    names.push_back(unique);
  }
  return names;
}

std::string formatDate(const DateTime::Parts& p) {
  char b[16];
  std::snprintf(b, sizeof b, "%04d%02d%02d", p.year, p.month, p.day);
  return b;
}

std::string formatClock(const DateTime::Parts& p) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d:%02d:%02d%03d", p.hour, p.minute, p.second, p.millisecond);
  return b;
}

std::string formatDouble(double v) {
  char b[32];
  const auto r = std::to_chars(b, b + sizeof b, v);
  return std::string(b, r.ptr);
}

class XmlWriter {
 public:
  std::string write(const Table& t) {
    out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>";
    out_ += "<DATAPACKET Version=\"2.0\"><METADATA>";
    writeMetadata(t.fields(), t.params());
    out_ += "</METADATA><ROWDATA>";
    writeRows(t, "ROW");
    out_ += "</ROWDATA></DATAPACKET>";
    return std::move(out_);
  }

 private:
  void writeMetadata(const std::vector<FieldDef>& defs, const std::vector<PacketParam>& params) {
    const std::vector<std::string> names = attributeNames(defs);
    out_ += "<FIELDS>";
    for (size_t f = 0; f < defs.size(); ++f) {
      const FieldDef& def = defs[f];
      out_ += "<FIELD";
      if (names[f] != def.name) attr(kFieldName, def.name);
      attr(kAttrName, names[f]);
      attr(kFieldType, typeInfo(def.type).xmlName);
      for (const AttrFlag& flag : kAttrFlags) {
        if (def.attributes & flag.value) attr(flag.name, "true");
      }
      if (!def.subtype.empty()) attr(kSubtype, def.subtype);
      const FieldTypeInfo& info = typeInfo(def.type);
      const bool integer =
          info.binaryKind == packet_type::kInt || info.binaryKind == packet_type::kUInt;
      if (def.size > 0 && def.type != FieldType::Nested && !integer) {
        attr(kWidth, std::to_string(def.size));
      }
      if (def.type == FieldType::Bcd) attr(kDecimals, std::to_string(def.decimals));
      for (const PacketParam& p : def.extraProps) writeParam(p);
      if (def.type == FieldType::Nested) {
        out_ += ">";
        writeMetadata(def.children, {});
        out_ += "</FIELD>";
      } else {
        out_ += "/>";
      }
    }
    out_ += "</FIELDS><PARAMS";
    for (const PacketParam& p : params) writeParam(p);
    out_ += "/>";
  }

  void writeParam(const PacketParam& p) {
    switch (p.kind) {
      case PacketParam::Kind::Int:
      case PacketParam::Kind::UInt:
        attr(p.name, std::to_string(p.ints.empty() ? 0 : p.ints[0]));
        return;
      case PacketParam::Kind::Bool:
        attr(p.name, !p.ints.empty() && p.ints[0] ? "TRUE" : "FALSE");
        return;
      case PacketParam::Kind::IntList: {
        std::string joined;
        for (const int64_t v : p.ints) joined += (joined.empty() ? "" : " ") + std::to_string(v);
        attr(p.name, joined);
        return;
      }
      case PacketParam::Kind::Text:
        attr(p.name, p.text);
        return;
      case PacketParam::Kind::Raw:
        return;  // a binary-only property has no XML spelling
    }
  }

  void attr(std::string_view name, std::string_view value) {
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    out_ += escape(value);
    out_ += '"';
  }

  void writeRows(const Table& t, std::string_view rowName) {
    const auto& defs = t.fields();
    const std::vector<std::string> names = attributeNames(defs);
    for (const uint32_t slot : t.order()) {
      out_ += '<';
      out_ += rowName;
      bool nested = false;
      for (size_t f = 0; f < defs.size(); ++f) {
        const ColumnStore& c = t.column(f);
        if (defs[f].type == FieldType::Nested) {
          nested = nested || (c.child(slot) && c.child(slot)->rowCount() > 0);
          continue;
        }
        if (c.isNull(slot)) continue;
        attr(names[f], valueText(defs[f], c, slot));
      }
      if (!nested) {
        out_ += "/>";
        continue;
      }
      out_ += '>';
      for (size_t f = 0; f < defs.size(); ++f) {
        const Table* child = defs[f].type == FieldType::Nested ? t.column(f).child(slot) : nullptr;
        if (!child || child->rowCount() == 0) continue;
        out_ += '<' + names[f] + '>';
        writeRows(*child, "ROW" + names[f]);
        out_ += "</" + names[f] + '>';
      }
      out_ += "</";
      out_ += rowName;
      out_ += '>';
    }
  }

  static std::string valueText(const FieldDef& def, const ColumnStore& c, uint32_t slot) {
    switch (def.type) {
      case FieldType::String:
      case FieldType::FixedString:
      case FieldType::WideString:
      case FieldType::Bcd:
        return std::string(c.bytes(slot));
      case FieldType::Blob:
        return c.textual() ? std::string(c.bytes(slot)) : base64Encode(c.bytes(slot));
      case FieldType::Float:
        return formatDouble(c.real(slot));
      case FieldType::Boolean:
        return c.word(slot) ? "TRUE" : "FALSE";
      case FieldType::Date:
        return formatDate(DateTime(c.word(slot)).parts());
      case FieldType::Time:
        return formatClock(DateTime(c.word(slot)).parts());
      case FieldType::DateTime:
      case FieldType::SqlDateTime: {
        const DateTime::Parts p = DateTime(c.word(slot)).parts();
        const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0 && p.millisecond == 0;
        return midnight ? formatDate(p) : formatDate(p) + "T" + formatClock(p);
      }
      default:
        return std::to_string(c.word(slot));
    }
  }

  std::string out_;
};

}  // namespace

std::unique_ptr<Table> readXmlPacket(std::string_view bytes, std::string_view source) {
  // Our own packets are UTF-8; older ones carry code page 1252 bytes without saying so.
  if (isValidUtf8(bytes)) return XmlReader(bytes, source).read();
  const std::string converted = cp1252ToUtf8(bytes);
  return XmlReader(converted, source).read();
}

std::string writeXmlPacket(const Table& table) { return XmlWriter().write(table); }

}  // namespace db
