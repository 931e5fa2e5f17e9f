#include "system/optimizer_figures.h"

#include <gtest/gtest.h>

namespace tidvale::system {
namespace {

TEST(OptimizerFigures, FreedIsTheDropAndNeverNegative) {
  const struct {
    int64_t before;
    int64_t after;
    int64_t freed;
  } cases[] = {
      {8LL << 30, 6LL << 30, 2LL << 30},
      {5, 5, 0},
      {6LL << 30, 7LL << 30, 0},  // memory use grew during the wait
      {0, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(freedBytes(c.before, c.after), c.freed) << c.before << " -> " << c.after;
  }
}

// Values of different integer widths never compare equal, so these checks cover the widths.
TEST(OptimizerFigures, ReplyIsAlwaysOkWithTypedFigures) {
  const EncodableMap reply = optimizerReplyMap({6LL << 30, 7LL << 30, 42});
  EXPECT_EQ(reply, (EncodableMap{
                       {EncodableValue("ok"), EncodableValue(true)},
                       {EncodableValue("error"), EncodableValue("")},
                       {EncodableValue("before"), EncodableValue(int64_t{6LL << 30})},
                       {EncodableValue("after"), EncodableValue(int64_t{7LL << 30})},
                       {EncodableValue("freed"), EncodableValue(int64_t{0})},
                       {EncodableValue("trimmed"), EncodableValue(int32_t{42})},
                   }));
}

}  // namespace
}  // namespace tidvale::system
