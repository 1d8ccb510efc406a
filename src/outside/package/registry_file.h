#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace outside {

// A malformed registry file or a failed write; the text names the file and, when parsing, the line.
class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One typed value. Text values are written `Name=text` (or `Name=sz:text` when the text would
// otherwise read as another type), integers `Name=dword:123`.
struct RegistryValue {
  enum class Type { Text, Dword };
  Type type = Type::Text;
  std::string text;
  uint32_t dword = 0;

  static RegistryValue ofText(std::string text) { return {Type::Text, std::move(text), 0}; }
  static RegistryValue ofDword(uint32_t n) { return {Type::Dword, {}, n}; }
  // Dwords read as their decimal text.
  std::string asText() const;
  // Texts holding a decimal integer read as that integer; nothing for any other text.
  std::optional<int64_t> asInt() const;
  bool operator==(const RegistryValue&) const = default;
};

// The stand-in for the Windows registry: an INI file whose sections are full key paths
// ("[HKEY_LOCAL_MACHINE\Software\...\WebCli]"). Key paths and value names match without regard
// to case, as in the registry. Comments, blank lines and unknown entries survive a rewrite.
class RegistryFile {
 public:
  // A missing file reads as an empty registry; a malformed one raises RegistryError.
  static RegistryFile load(const std::filesystem::path& path);
  static RegistryFile parse(std::string_view text, const std::string& sourceName);

  std::optional<RegistryValue> get(std::string_view key, std::string_view name) const;
  bool hasKey(std::string_view key) const;
  // Creates the key when missing; replaces the value in place when present.
  void set(std::string_view key, std::string_view name, const RegistryValue& value);

  std::string serialize() const;
  // Writes to a temporary file beside the target and renames it over, so a failure never
  // leaves a half-written registry behind.
  void save(const std::filesystem::path& path) const;

 private:
  struct Line {
    std::string raw;                  // comments and blank lines, kept as they were
    std::optional<std::string> name;  // set for value lines
    RegistryValue value;
  };
  struct Section {
    std::string key;
    std::vector<Line> lines;
  };
  Section* findSection(std::string_view key);
  const Section* findSection(std::string_view key) const;

  std::vector<Line> preamble_;
  std::vector<Section> sections_;
};

}  // namespace outside
