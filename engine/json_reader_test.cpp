#include "engine/json_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace tidvale::engine {
namespace {

std::string nested(size_t depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

std::string repeated(std::string_view text, size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

TEST(JsonReader, ReadsOneValueWithTheLibrarysTypes) {
  const auto read = readJson(
      R"( {"a":null,"b":[true,-3,18446744073709551615,1.5e3],"c":{"d":"\u00e9\ud83d\ude00"}} )");
  ASSERT_TRUE(read.ok()) << read.error;
  const nlohmann::json& value = read.value;
  EXPECT_TRUE(value["a"].is_null());
  EXPECT_EQ(value["b"][0], true);
  EXPECT_TRUE(value["b"][1].is_number_integer());
  EXPECT_EQ(value["b"][1].get<int64_t>(), -3);
  EXPECT_TRUE(value["b"][2].is_number_unsigned());
  EXPECT_TRUE(value["b"][3].is_number_float());
  EXPECT_EQ(value["c"]["d"], "\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(JsonReader, RefusesWhatTheLineProtocolDoesNotAccept) {
  const struct {
    std::string_view text;
    std::string_view reason;
  } cases[] = {
      {"", "unexpected end of input"},
      {"{\"a\":1,\"a\":2}", "duplicate member name"},
      {"[{\"x\":{\"k\":1,\"k\":1}}]", "duplicate member name"},  // at any depth
      {"\xEF\xBB\xBF{}", "byte order mark at offset 0"},
      {std::string_view("{\"op\":\"quit\"}\0{", 15), "NUL byte at offset 13"},
      {std::string_view("\"a\0\"", 4), "NUL byte at offset 2"},
      {"{\"a\":1}x", "expected end of input"},
      {"/*c*/{}", "invalid literal"},  // no comments
      {"\"\xC0\xAF\"", "ill-formed UTF-8"},
      {"\"\\ud800\"", "surrogate"},
      {"[1,]", "syntax error"},
  };
  for (const auto& c : cases) {
    const auto read = readJson(c.text);
    EXPECT_FALSE(read.ok()) << c.text;
    EXPECT_NE(read.error.find(c.reason), std::string::npos) << c.text << " -> " << read.error;
    EXPECT_TRUE(read.value.is_null()) << c.text;
  }
}

TEST(JsonReader, BoundsNestingAndStopsAtTheFirstLevelTooDeep) {
  EXPECT_TRUE(readJson(nested(kMaxJsonDepth)).ok());
  EXPECT_TRUE(readJson("{\"a\":" + nested(kMaxJsonDepth - 1) + "}").ok());
  for (const std::string& tooDeep :
       {nested(kMaxJsonDepth + 1), "{\"a\":" + nested(kMaxJsonDepth) + "}",
        std::string(64 << 20, '['), repeated("{\"a\":", 1'000'000)}) {
    const auto read = readJson(tooDeep);
    EXPECT_FALSE(read.ok()) << tooDeep.size();
    EXPECT_NE(read.error.find("nesting too deep"), std::string::npos) << read.error;
  }
}

TEST(JsonReader, KeepsRefusalsShortWhateverTheLineLength) {
  // The library quotes the token it stopped in; here that is a whole unterminated string.
  const auto read = readJson("\"" + std::string(1 << 20, 'x'));
  EXPECT_FALSE(read.ok());
  EXPECT_LE(read.error.size(), kMaxJsonErrorBytes);
}

}  // namespace
}  // namespace tidvale::engine
