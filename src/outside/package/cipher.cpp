#include "outside/package/cipher.h"

#include "db/core/base64.h"

namespace outside {
namespace {

constexpr std::string_view kKey = "kivtab/WebCli";

std::string xorWithKey(std::string_view in) {
  std::string out(in);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char>(out[i] ^ kKey[i % kKey.size()]);
  return out;
}

}  // namespace

std::string UncriptoPlus(std::string_view stored) {
  if (stored.substr(0, kEncipheredPrefix.size()) != kEncipheredPrefix) return std::string(stored);
  const db::Bytes bytes = db::base64DecodeBytes(stored.substr(kEncipheredPrefix.size()));
  return xorWithKey(std::string(bytes.begin(), bytes.end()));
}

std::string CriptoPlus(std::string_view plain) {
  const std::string mixed = xorWithKey(plain);
  return std::string(kEncipheredPrefix) + db::base64Encode(mixed);
}

}  // namespace outside
