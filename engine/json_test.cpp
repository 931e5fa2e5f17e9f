#include "engine/json.h"

#include <gtest/gtest.h>

#include <string>

namespace tidvale::engine {
namespace {

using Kind = JsonValue::Kind;

TEST(JsonParse, ReadsEveryKindOfValue) {
  const auto parsed =
      parseJson(R"( {"a":null,"b":true,"c":false,"d":-12.5e+3,"e":"x","f":[1,[2]],"g":{"h":{}}} )");
  ASSERT_TRUE(parsed.ok) << parsed.error;
  const JsonValue& object = parsed.value;
  ASSERT_EQ(object.kind, Kind::kObject);
  ASSERT_EQ(object.members.size(), 7u);
  EXPECT_EQ(object.find("a")->kind, Kind::kNull);
  EXPECT_TRUE(object.find("b")->boolean);
  EXPECT_EQ(object.find("c")->kind, Kind::kBool);
  EXPECT_FALSE(object.find("c")->boolean);
  EXPECT_EQ(object.find("d")->text, "-12.5e+3");
  EXPECT_EQ(object.find("e")->text, "x");
  ASSERT_EQ(object.find("f")->items.size(), 2u);
  EXPECT_EQ(object.find("f")->items[1].items[0].text, "2");
  EXPECT_EQ(object.find("g")->find("h")->kind, Kind::kObject);
  EXPECT_EQ(object.find("missing"), nullptr);
}

TEST(JsonParse, DecodesStringEscapesToUtf8) {
  const struct {
    std::string_view json;
    std::string_view expected;
  } cases[] = {
      {R"("a\"b\\c\/d")", "a\"b\\c/d"},
      {R"("\b\f\n\r\t")", "\b\f\n\r\t"},
      {R"("\u0041\u00e9\u65E5")", "A\xC3\xA9\xE6\x97\xA5"},
      {R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},  // a surrogate pair
      {R"("\u0000")", std::string_view("\0", 1)},
      {"\"\xC3\xA9\xF0\x9F\x98\x80\"", "\xC3\xA9\xF0\x9F\x98\x80"},  // raw UTF-8
  };
  for (const auto& c : cases) {
    const auto parsed = parseJson(c.json);
    ASSERT_TRUE(parsed.ok) << c.json << ": " << parsed.error;
    EXPECT_EQ(parsed.value.text, c.expected) << c.json;
  }
}

TEST(JsonParse, RejectsMalformedInput) {
  const std::string_view cases[] = {
      "",
      "   ",
      "{",
      "}",
      "{\"a\"}",
      "{\"a\":}",
      "{\"a\":1,}",
      "{\"a\":1 \"b\":2}",
      "{a:1}",
      "{'a':1}",
      "[1,]",
      "[1 2]",
      "{\"a\":1}x",
      "{\"a\":1}{}",
      "{\"a\":1,\"a\":2}",  // duplicate member
      "\"unterminated",
      "\"bad \\x escape\"",
      "\"\\u12\"",
      "\"\\u12G4\"",
      "\"\\ud800\"",           // lone high surrogate
      "\"\\udc00\"",           // lone low surrogate
      "\"\\ud800\\u0041\"",    // high surrogate and a non-surrogate
      "\"tab\there\"",         // raw control character
      "\"\xC3\"",              // truncated UTF-8
      "\"\xC0\xAF\"",          // overlong UTF-8
      "\"\xED\xA0\x80\"",      // UTF-8 encoded surrogate
      "\"\xF4\x90\x80\x80\"",  // above U+10FFFF
      "\"\xFF\"",
      "tru",
      "nul",
      "True",
      "01",
      "-",
      "1.",
      ".5",
      "1e",
      "1e+",
      "+1",
      "0x10",
      "NaN",
      std::string_view("{\"a\":1}\0", 8),
  };
  for (const auto input : cases) {
    const auto parsed = parseJson(input);
    EXPECT_FALSE(parsed.ok) << "accepted: " << input;
    if (!parsed.ok) {
      EXPECT_NE(parsed.error.find("at offset"), std::string::npos) << input;
    }
  }
}

TEST(JsonParse, BoundsNestingWithoutExhaustingTheStack) {
  const auto nested = [](size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
  };
  EXPECT_TRUE(parseJson(nested(kMaxJsonDepth)).ok);
  EXPECT_FALSE(parseJson(nested(kMaxJsonDepth + 1)).ok);
  // Far deeper than any stack would survive if the reader recursed without a bound.
  const auto deep = parseJson(std::string(1'000'000, '['));
  EXPECT_FALSE(deep.ok);
  EXPECT_NE(deep.error.find("nesting"), std::string::npos);
  EXPECT_FALSE(parseJson(std::string(1'000'000, '{')).ok);
}

TEST(JsonQuote, EscapesAndRepairsText) {
  const struct {
    std::string_view text;
    std::string_view quoted;
  } cases[] = {
      {"", R"("")"},
      {"plain/text", R"("plain/text")"},
      {"a\"b\\c", R"("a\"b\\c")"},
      {"\n\r\t", R"("\n\r\t")"},
      {std::string_view("\0\x1f\x7f", 3), R"("\u0000\u001f\u007f")"},
      {"\xC3\xA9\xF0\x9F\x98\x80", "\"\xC3\xA9\xF0\x9F\x98\x80\""},
      {"a\xFF"
       "b",
       "\"a\xEF\xBF\xBD"
       "b\""},                                       // invalid byte
      {"\xE6\x97", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},  // truncated sequence
  };
  for (const auto& c : cases) EXPECT_EQ(quoteJson(c.text), c.quoted) << c.text;
}

TEST(JsonQuote, ValidTextRoundTripsThroughTheReader) {
  std::string every;
  for (int c = 0; c < 0x80; ++c) every += static_cast<char>(c);
  every += "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";
  const auto parsed = parseJson(quoteJson(every));
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(parsed.value.text, every);
}

TEST(JsonInteger, AcceptsOnlyIntegralLiteralsInRange) {
  const struct {
    std::string_view json;
    bool ok;
    long long value;
  } cases[] = {
      {"0", true, 0},
      {"-0", true, 0},
      {"42", true, 42},
      {"-7", true, -7},
      {"9223372036854775807", true, 9223372036854775807LL},
      {"-9223372036854775808", true, -9223372036854775807LL - 1},
      {"9223372036854775808", false, 0},
      {"1.0", false, 0},
      {"1e3", false, 0},
      {"\"1\"", false, 0},
      {"true", false, 0},
  };
  for (const auto& c : cases) {
    const auto parsed = parseJson(c.json);
    ASSERT_TRUE(parsed.ok) << c.json;
    long long value = -1;
    EXPECT_EQ(jsonInteger(parsed.value, &value), c.ok) << c.json;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.json;
    }
  }
}

}  // namespace
}  // namespace tidvale::engine
