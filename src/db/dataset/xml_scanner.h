#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace db {

struct XmlAttribute {
  std::string_view name;
  std::string value;  // entities resolved
};

// A small, strict pull reader for the element-and-attribute XML of data packets: elements,
// attributes, character and the five predefined entity references, comments and the XML
// declaration. Text between elements must be blank; DOCTYPE, CDATA and processing
// instructions inside the document are refused. Errors raise PacketError with line and column.
class XmlScanner {
 public:
  enum class Event { Start, End, Eof };

  XmlScanner(std::string_view text, std::string_view source);

  Event next();
  std::string_view name() const { return name_; }
  std::span<const XmlAttribute> attributes() const { return {attrs_.data(), attrCount_}; }
  const std::string* find(std::string_view attribute) const;
  [[noreturn]] void fail(const std::string& what) const;

 private:
  static constexpr size_t kMaxDepth = 64;

  void skipMisc(bool allowDeclaration);
  bool startsWith(std::string_view s) const { return text_.substr(pos_, s.size()) == s; }
  std::string_view readName();
  void readAttributeValue(std::string& out);
  Event endTag();
  Event startTag();
  void readAttribute();
  void skipBlanks();
  [[noreturn]] void failAt(size_t offset, const std::string& what) const;

  std::string_view text_;
  std::string_view source_;
  size_t pos_ = 0;
  size_t elementStart_ = 0;
  std::string_view name_;
  std::vector<XmlAttribute> attrs_;
  size_t attrCount_ = 0;
  std::vector<std::string_view> stack_;
  bool pendingEnd_ = false;
  bool rootSeen_ = false;
};

}  // namespace db
