#include "engine/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace tidvale::engine {
namespace {

std::vector<uint8_t> bytesOf(std::string_view text) {
  return {text.begin(), text.end()};
}

TEST(Base64, KnownVectorsEncodeAndDecode) {
  // The RFC 4648 test vectors cover every padding case.
  const struct {
    std::string_view plain;
    std::string_view encoded;
  } cases[] = {{"", ""},
               {"f", "Zg=="},
               {"fo", "Zm8="},
               {"foo", "Zm9v"},
               {"foob", "Zm9vYg=="},
               {"fooba", "Zm9vYmE="},
               {"foobar", "Zm9vYmFy"}};
  for (const auto& c : cases) {
    const auto plain = bytesOf(c.plain);
    EXPECT_EQ(encodeBase64(plain.data(), plain.size()), c.encoded) << c.plain;
    const auto decoded = decodeBase64(c.encoded);
    ASSERT_TRUE(decoded) << c.encoded;
    EXPECT_EQ(*decoded, plain) << c.encoded;
  }
}

TEST(Base64, EveryByteValueSurvivesARoundTrip) {
  std::vector<uint8_t> all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(i));
  for (size_t length = 0; length <= all.size(); length += 37) {
    const std::vector<uint8_t> slice(all.end() - static_cast<long>(length), all.end());
    const auto decoded = decodeBase64(encodeBase64(slice.data(), slice.size()));
    ASSERT_TRUE(decoded) << length;
    EXPECT_EQ(*decoded, slice) << length;
  }
}

TEST(Base64, RejectsNonCanonicalOrMalformedText) {
  const std::string_view cases[] = {
      "Zg",        // missing padding
      "Zg=",       // length not a multiple of four
      "Z===",      // three padding characters
      "Zg==Zg==",  // padding before the end
      "Z=g=",      // padding inside a group
      "Zh==",      // non-zero bits after the last byte
      "Zm9=",      // the same with one padding character
      "Zm9v\n",    // whitespace
      "Zm 9",      // space
      "Zm9-",      // URL-safe alphabet
      "Zm9_",
      "Zm\x80v",  // a non-ASCII byte
      std::string_view("Zm\0v", 4),
      "====",
  };
  for (const auto text : cases) EXPECT_FALSE(decodeBase64(text)) << text;
}

}  // namespace
}  // namespace tidvale::engine
