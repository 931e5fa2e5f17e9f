#include "engine/line_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tidvale::engine {
namespace {

struct Split {
  std::vector<std::string> lines;
  int overflows = 0;
};

// Feeds `input` in pieces of `chunk` bytes, then ends the stream.
Split split(std::string_view input, size_t chunk, size_t maxLine) {
  Split result;
  LineSplitter splitter(
      maxLine, [&](std::string_view line) { result.lines.emplace_back(line); },
      [&] { ++result.overflows; });
  for (size_t pos = 0; pos < input.size(); pos += chunk) splitter.feed(input.substr(pos, chunk));
  splitter.finish();
  return result;
}

TEST(LineSplitter, GivesTheSameLinesWhateverTheChunking) {
  const std::string input = "one\ntwo\n\nthree\r\nlast without end";
  const std::vector<std::string> expected = {"one", "two", "", "three\r", "last without end"};
  for (size_t chunk : {1, 2, 3, 5, 7, 64}) {
    const Split result = split(input, chunk, 100);
    EXPECT_EQ(result.lines, expected) << chunk;
    EXPECT_EQ(result.overflows, 0) << chunk;
  }
}

TEST(LineSplitter, DropsOverlongLinesAndKeepsGoing) {
  const std::string input = "short\n" + std::string(25, 'x') + "\nok\n" + std::string(11, 'y');
  for (size_t chunk : {1, 4, 100}) {
    const Split result = split(input, chunk, 10);
    EXPECT_EQ(result.lines, (std::vector<std::string>{"short", "ok"})) << chunk;
    EXPECT_EQ(result.overflows, 2) << chunk;
  }
  // Exactly at the limit is still a line.
  EXPECT_EQ(split(std::string(10, 'z') + "\n", 3, 10).lines,
            (std::vector<std::string>{std::string(10, 'z')}));
}

TEST(LineSplitter, EmptyStreamGivesNoLines) {
  const Split result = split("", 1, 10);
  EXPECT_TRUE(result.lines.empty());
  EXPECT_EQ(result.overflows, 0);
}

}  // namespace
}  // namespace tidvale::engine
