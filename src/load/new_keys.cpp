#include "load/new_keys.h"

#include <cctype>
#include <string>

namespace load {

namespace {

constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

void mix(uint64_t& hash, unsigned char byte) {
  hash ^= byte;
  hash *= kFnvPrime;
}

void mixText(uint64_t& hash, std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  for (char c : text)
    mix(hash, static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c))));
}

void mixValue(uint64_t& hash, const db::Value& value) {
  if (value.kind() == db::Value::Kind::Text) {
    mixText(hash, value.getText());
  } else if (value.kind() == db::Value::Kind::DateTime) {
    const auto ms = static_cast<uint64_t>(value.getDateTime().msSinceZero());
    for (int shift = 0; shift < 64; shift += 8) mix(hash, static_cast<unsigned char>(ms >> shift));
  } else {
    mixText(hash, value.asText());
  }
  mix(hash, 0x1f);
}

}  // namespace

NewKeys::NewKeys(bool tableStartedEmpty, size_t expected) : active_(tableStartedEmpty) {
  if (active_) written_.reserve(expected);
}

bool NewKeys::claim(const std::vector<db::Value>& keys) {
  if (!active_) return false;
  uint64_t hash = kFnvOffset;
  for (const auto& key : keys) {
    // A NULL key equals nothing: its UPDATE never matches, and it makes no row it could match.
    if (key.isNull()) return true;
    mixValue(hash, key);
  }
  return written_.insert(hash).second;
}

}  // namespace load
