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
  };
  for (const auto& c : cases) {
    EXPECT_EQ(freedBytes(c.before, c.after), c.freed) << c.before << " -> " << c.after;
    EXPECT_EQ(optimizerReplyMap({c.before, c.after, 0}).at(EncodableValue("freed")),
              EncodableValue(c.freed));
  }
}

TEST(OptimizerFigures, ReplyCarriesBothReportsFiguresUnderTheirOwnKeys) {
  const EncodableMap reply = optimizerReplyMap({9000, 7000, 12});
  EXPECT_EQ(reply, (EncodableMap{
                       {EncodableValue("ok"), EncodableValue(true)},
                       {EncodableValue("error"), EncodableValue("")},
                       {EncodableValue("before"), EncodableValue(int64_t{9000})},
                       {EncodableValue("after"), EncodableValue(int64_t{7000})},
                       {EncodableValue("freed"), EncodableValue(int64_t{2000})},
                       {EncodableValue("trimmed"), EncodableValue(int32_t{12})},
                   }));
}

}  // namespace
}  // namespace tidvale::system
