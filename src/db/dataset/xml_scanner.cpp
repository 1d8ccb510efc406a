#include "db/dataset/xml_scanner.h"

#include "db/core/text.h"
#include "db/dataset/packet.h"

namespace db {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isNameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || u >= 0x80;
}

bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

}  // namespace

XmlScanner::XmlScanner(std::string_view text, std::string_view source)
    : text_(text), source_(source) {
  if (startsWith("\xEF\xBB\xBF")) pos_ = 3;
  skipMisc(true);
}

const std::string* XmlScanner::find(std::string_view attribute) const {
  for (size_t i = 0; i < attrCount_; ++i) {
    if (attrs_[i].name == attribute) return &attrs_[i].value;
  }
  return nullptr;
}

void XmlScanner::skipBlanks() {
  while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
}

// Blanks, comments and (before the root only) the XML declaration.
void XmlScanner::skipMisc(bool allowDeclaration) {
  for (;;) {
    skipBlanks();
    if (startsWith("<!--")) {
      const size_t end = text_.find("-->", pos_ + 4);
      if (end == std::string_view::npos) failAt(pos_, "unterminated comment");
      pos_ = end + 3;
    } else if (allowDeclaration && startsWith("<?xml")) {
      const size_t end = text_.find("?>", pos_);
      if (end == std::string_view::npos) failAt(pos_, "unterminated XML declaration");
      pos_ = end + 2;
      allowDeclaration = false;
    } else {
      return;
    }
  }
}

std::string_view XmlScanner::readName() {
  const size_t start = pos_;
  if (pos_ >= text_.size() || !isNameStart(text_[pos_])) failAt(pos_, "name expected");
  while (pos_ < text_.size() && isNameChar(text_[pos_])) ++pos_;
  return text_.substr(start, pos_ - start);
}

void XmlScanner::readAttributeValue(std::string& out) {
  out.clear();
  if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) {
    failAt(pos_, "quoted attribute value expected");
  }
  const char quote = text_[pos_++];
  for (;;) {
    if (pos_ >= text_.size()) failAt(pos_, "unterminated attribute value");
    const char c = text_[pos_];
    if (c == quote) {
      ++pos_;
      return;
    }
    if (c == '<') failAt(pos_, "'<' inside an attribute value");
    if (c != '&') {
      // Literal line breaks and tabs in attribute values read as blanks.
      out += isBlank(c) ? ' ' : c;
      ++pos_;
      continue;
    }
    const size_t semi = text_.find(';', pos_);
    if (semi == std::string_view::npos || semi - pos_ > 12) failAt(pos_, "bad entity reference");
    const std::string_view ref = text_.substr(pos_ + 1, semi - pos_ - 1);
    if (ref == "lt") {
      out += '<';
    } else if (ref == "gt") {
      out += '>';
    } else if (ref == "amp") {
      out += '&';
    } else if (ref == "quot") {
      out += '"';
    } else if (ref == "apos") {
      out += '\'';
    } else if (ref.size() >= 2 && ref[0] == '#') {
      const bool hex = ref[1] == 'x';
      uint32_t cp = 0;
      const std::string_view digits = ref.substr(hex ? 2 : 1);
      if (digits.empty()) failAt(pos_, "bad character reference");
      for (const char d : digits) {
        int v;
        if (d >= '0' && d <= '9') {
          v = d - '0';
        } else if (hex && d >= 'a' && d <= 'f') {
          v = d - 'a' + 10;
        } else if (hex && d >= 'A' && d <= 'F') {
          v = d - 'A' + 10;
        } else {
          failAt(pos_, "bad character reference");
        }
        cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(v);
        if (cp > 0x10FFFF) failAt(pos_, "character reference out of range");
      }
      if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) failAt(pos_, "invalid character reference");
      appendUtf8(out, cp);
    } else {
      failAt(pos_, "unknown entity &" + std::string(ref) + ";");
    }
    pos_ = semi + 1;
  }
}

XmlScanner::Event XmlScanner::next() {
  if (pendingEnd_) {
    pendingEnd_ = false;
    name_ = stack_.back();
    stack_.pop_back();
    attrCount_ = 0;
    if (stack_.empty()) skipMisc(false);
    return Event::End;
  }
  if (stack_.empty() && rootSeen_) {
    skipMisc(false);
    if (pos_ != text_.size()) failAt(pos_, "content after the document element");
    return Event::Eof;
  }
  skipMisc(false);
  if (pos_ >= text_.size()) {
    if (stack_.empty()) failAt(pos_, "no document element");
    failAt(pos_, "unexpected end of document inside <" + std::string(stack_.back()) + ">");
  }
  if (text_[pos_] != '<') failAt(pos_, "unexpected text");
  elementStart_ = pos_;
  attrCount_ = 0;
  if (startsWith("</")) return endTag();
  if (startsWith("<!") || startsWith("<?"))
    failAt(pos_, "DOCTYPE, CDATA and processing instructions are not accepted");
  return startTag();
}

XmlScanner::Event XmlScanner::endTag() {
  pos_ += 2;
  name_ = readName();
  skipBlanks();
  if (pos_ >= text_.size() || text_[pos_] != '>') failAt(pos_, "'>' expected");
  ++pos_;
  if (stack_.empty() || stack_.back() != name_) {
    failAt(elementStart_, "unexpected </" + std::string(name_) + ">");
  }
  stack_.pop_back();
  if (stack_.empty()) skipMisc(false);
  return Event::End;
}

// An empty element ("<a/>") is reported as its start now and its end at the next call.
XmlScanner::Event XmlScanner::startTag() {
  ++pos_;
  name_ = readName();
  for (;;) {
    const size_t before = pos_;
    skipBlanks();
    if (pos_ >= text_.size()) failAt(pos_, "unterminated element <" + std::string(name_) + ">");
    if (text_[pos_] == '>') {
      ++pos_;
      break;
    }
    if (startsWith("/>")) {
      pos_ += 2;
      pendingEnd_ = true;
      break;
    }
    if (before == pos_) failAt(pos_, "blank expected before an attribute");
    readAttribute();
  }
  if (stack_.size() >= kMaxDepth) failAt(elementStart_, "elements nested too deep");
  stack_.push_back(name_);
  rootSeen_ = true;
  return Event::Start;
}

void XmlScanner::readAttribute() {
  const std::string_view attrName = readName();
  skipBlanks();
  if (pos_ >= text_.size() || text_[pos_] != '=') failAt(pos_, "'=' expected");
  ++pos_;
  skipBlanks();
  for (size_t i = 0; i < attrCount_; ++i) {
    if (attrs_[i].name == attrName)
      failAt(pos_, "attribute " + std::string(attrName) + " repeated");
  }
  if (attrCount_ == attrs_.size()) attrs_.emplace_back();
  XmlAttribute& a = attrs_[attrCount_++];
  a.name = attrName;
  readAttributeValue(a.value);
}

void XmlScanner::fail(const std::string& what) const { failAt(elementStart_, what); }

void XmlScanner::failAt(size_t offset, const std::string& what) const {
  size_t line = 1, column = 1;
  for (size_t i = 0; i < offset && i < text_.size(); ++i) {
    if (text_[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  throw PacketError(std::string(source_) + ": line " + std::to_string(line) + ", column " +
                    std::to_string(column) + ": " + what);
}

}  // namespace db
