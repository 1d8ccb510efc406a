#include "db/core/base64.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace db {
namespace {

TEST(Base64, EncodesAndDecodesEveryTailLength) {
  Bytes bytes;
  for (int n = 0; n < 10; ++n) {
    EXPECT_EQ(base64DecodeBytes(base64Encode(bytes)), bytes);
    std::string text = base64Encode(bytes);
    const std::string_view decoded = base64DecodeInPlace(text);
    EXPECT_EQ(Bytes(decoded.begin(), decoded.end()), bytes);
    EXPECT_EQ(text.size(), bytes.size());
    bytes.push_back(static_cast<uint8_t>(n * 37));
  }
  EXPECT_EQ(base64Encode(Bytes{'f', 'o', 'o', 'b'}), "Zm9vYg==");
  EXPECT_EQ(base64Encode("Ma"), "TWE=");
}

TEST(Base64, PacketTextSkipsLineBreaksButTheProtocolRefusesThem) {
  EXPECT_EQ(base64Decode("TW E=\n"), std::optional<std::string>("Ma"));
  EXPECT_FALSE(base64Decode("TW E=\n", Base64Blanks::reject).has_value());
  EXPECT_THROW(base64DecodeBytes("TW E"), std::invalid_argument);
}

TEST(Base64, RefusesTruncatedGroupsMisplacedPaddingAndForeignCharacters) {
  for (const char* bad : {"TWE", "T=WE", "TW*=", "Zm=v", "Zm9v!A==", "TQ==TQ==", "T===", "Zm!vZm9v",
                          "Zm9vZ\x80=vZm9v"}) {
    EXPECT_FALSE(base64Decode(bad).has_value()) << bad;
    EXPECT_THROW(base64DecodeBytes(bad), std::invalid_argument) << bad;
    std::string overwritten = bad;
    EXPECT_THROW(base64DecodeInPlace(overwritten), std::invalid_argument) << bad;
  }
}

}  // namespace
}  // namespace db
