#include "outside/package/registry_file.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "db/core/text.h"
#include "platform/replace_file.h"

namespace outside {
namespace {

constexpr std::string_view kDwordPrefix = "dword:";
constexpr std::string_view kTextPrefix = "sz:";

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && db::iequals(s.substr(0, prefix.size()), prefix);
}

std::optional<int64_t> parseDecimal(std::string_view s) {
  s = db::trim(s);
  int64_t n = 0;
  if (s.empty()) return std::nullopt;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return n;
}

RegistryValue parseValue(std::string_view text, const std::string& where) {
  if (startsWithNoCase(text, kDwordPrefix)) {
    const std::string_view digits = db::trim(text.substr(kDwordPrefix.size()));
    uint32_t n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
      throw RegistryError(where +
                          ": dword value is not an unsigned 32-bit number: " + std::string(text));
    return RegistryValue::ofDword(n);
  }
  if (startsWithNoCase(text, kTextPrefix))
    return RegistryValue::ofText(std::string(text.substr(kTextPrefix.size())));
  return RegistryValue::ofText(std::string(db::trim(text)));
}

std::string formatValue(const RegistryValue& v) {
  if (v.type == RegistryValue::Type::Dword)
    return std::string(kDwordPrefix) + std::to_string(v.dword);
  const bool needsPrefix = startsWithNoCase(v.text, kDwordPrefix) ||
                           startsWithNoCase(v.text, kTextPrefix) ||
                           db::trim(v.text).size() != v.text.size();
  return needsPrefix ? std::string(kTextPrefix) + v.text : v.text;
}

void rejectLineBreaks(std::string_view s, std::string_view what) {
  if (s.find_first_of("\r\n") != std::string_view::npos)
    throw RegistryError("registry " + std::string(what) + " may not hold a line break");
}

}  // namespace

std::string RegistryValue::asText() const {
  return type == Type::Dword ? std::to_string(dword) : text;
}

std::optional<int64_t> RegistryValue::asInt() const {
  if (type == Type::Dword) return static_cast<int64_t>(dword);
  return parseDecimal(text);
}

RegistryFile RegistryFile::load(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return {};
    throw RegistryError("cannot read registry file " + path.string());
  }
  std::ostringstream text;
  text << in.rdbuf();
  return parse(text.str(), path.string());
}

RegistryFile RegistryFile::parse(std::string_view text, const std::string& sourceName) {
  RegistryFile file;
  // Editors on Windows like to start the file with a byte-order mark.
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
  int lineNo = 0;
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    std::string_view raw = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    const std::string where = sourceName + ":" + std::to_string(lineNo);
    const std::string_view line = db::trim(raw);
    auto& target = file.sections_.empty() ? file.preamble_ : file.sections_.back().lines;
    if (line.empty() || line.front() == ';' || line.front() == '#') {
      target.push_back({std::string(raw), std::nullopt, {}});
    } else if (line.front() == '[') {
      if (line.back() != ']' || line.size() < 3)
        throw RegistryError(where + ": section header is not closed by ']' or is empty");
      file.sections_.push_back({std::string(db::trim(line.substr(1, line.size() - 2))), {}});
    } else {
      const size_t eq = line.find('=');
      if (eq == std::string_view::npos || eq == 0)
        throw RegistryError(where + ": expected Name=value, [key] or a comment");
      if (file.sections_.empty())
        throw RegistryError(where + ": value outside of any [key] section");
      std::string name(db::trim(line.substr(0, eq)));
      // Values keep their trailing blanks only when marked sz:, so take them from the raw line.
      std::string_view afterEq = raw.substr(raw.find('=') + 1);
      afterEq.remove_prefix(std::min(afterEq.find_first_not_of(" \t"), afterEq.size()));
      RegistryValue value = parseValue(afterEq, where);
      target.push_back({std::string(raw), std::move(name), std::move(value)});
    }
  }
  return file;
}

RegistryFile::Section* RegistryFile::findSection(std::string_view key) {
  for (auto& s : sections_)
    if (db::iequals(s.key, key)) return &s;
  return nullptr;
}

const RegistryFile::Section* RegistryFile::findSection(std::string_view key) const {
  for (const auto& s : sections_)
    if (db::iequals(s.key, key)) return &s;
  return nullptr;
}

bool RegistryFile::hasKey(std::string_view key) const { return findSection(key) != nullptr; }

std::optional<RegistryValue> RegistryFile::get(std::string_view key, std::string_view name) const {
  const Section* section = findSection(key);
  if (!section) return std::nullopt;
  // The last entry wins, as a later line of an INI file overrides an earlier one.
  std::optional<RegistryValue> found;
  for (const auto& line : section->lines)
    if (line.name && db::iequals(*line.name, name)) found = line.value;
  return found;
}

void RegistryFile::set(std::string_view key, std::string_view name, const RegistryValue& value) {
  rejectLineBreaks(key, "key");
  rejectLineBreaks(name, "value name");
  rejectLineBreaks(value.text, "value");
  if (name.find('=') != std::string_view::npos || db::trim(name).size() != name.size() ||
      name.empty())
    throw RegistryError("registry value name is empty, holds '=' or has outer blanks: " +
                        std::string(name));
  Section* section = findSection(key);
  if (!section) {
    sections_.push_back({std::string(key), {}});
    section = &sections_.back();
  }
  Line* last = nullptr;
  for (auto& line : section->lines)
    if (line.name && db::iequals(*line.name, name)) last = &line;
  const std::string raw = std::string(name) + "=" + formatValue(value);
  if (last) {
    last->raw = raw;
    last->value = value;
  } else {
    // Keep trailing blank lines of the section after the new value.
    auto pos = section->lines.end();
    while (pos != section->lines.begin() && !std::prev(pos)->name &&
           db::trim(std::prev(pos)->raw).empty())
      --pos;
    section->lines.insert(pos, {raw, std::string(name), value});
  }
}

std::string RegistryFile::serialize() const {
  std::string out;
  for (const auto& line : preamble_) out += line.raw + "\n";
  for (const auto& section : sections_) {
    out += "[" + section.key + "]\n";
    for (const auto& line : section.lines) out += line.raw + "\n";
  }
  return out;
}

void RegistryFile::save(const std::filesystem::path& path) const {
  try {
    // Registry values may hold passwords.
    platform::replaceFile(path, serialize(), true);
  } catch (const std::runtime_error& e) {
    throw RegistryError(std::string("registry file: ") + e.what());
  }
}

}  // namespace outside
