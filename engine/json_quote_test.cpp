#include "engine/json_quote.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/json_reader.h"

namespace tidvale::engine {
namespace {

TEST(JsonQuote, EscapesAndRepairsTextByteForByte) {
  const struct {
    std::string_view text;
    std::string_view quoted;
  } cases[] = {
      {"", R"("")"},
      {"plain/text", R"("plain/text")"},
      {"a\"b\\c", R"("a\"b\\c")"},
      {"\n\r\t", R"("\n\r\t")"},
      {std::string_view("\0\b\f\x1f\x7f", 5), R"("\u0000\u0008\u000c\u001f\u007f")"},
      {"\xC3\xA9\xF0\x9F\x98\x80", "\"\xC3\xA9\xF0\x9F\x98\x80\""},
      {"a\xFF"
       "b",
       "\"a\xEF\xBF\xBD"
       "b\""},                                       // invalid byte
      {"\xE6\x97", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},  // truncated sequence: one per byte
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // encoded surrogate
  };
  for (const auto& c : cases) EXPECT_EQ(quoteJson(c.text), c.quoted) << c.text;
}

TEST(JsonQuote, ValidTextRoundTripsThroughTheReader) {
  std::string every;
  for (int c = 0; c < 0x80; ++c) every += static_cast<char>(c);
  every += "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";
  const auto read = readJson(quoteJson(every));
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.value, every);
}

}  // namespace
}  // namespace tidvale::engine
