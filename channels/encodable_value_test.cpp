#include "channels/encodable_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace tidvale {
namespace {

EncodableValue customOf(std::any value) {
  return EncodableValue(CustomEncodableValue(value));
}

TEST(EncodableValueTest, OrdersByAlternativeThenContent) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  // Strictly ascending.
  const std::vector<EncodableValue> ascending = {
      EncodableValue(),
      EncodableValue(false),
      EncodableValue(true),
      EncodableValue(int32_t{-7}),
      EncodableValue(int32_t{5}),
      EncodableValue(int64_t{-10}),
      EncodableValue(int64_t{1} << 40),
      EncodableValue(-inf),
      EncodableValue(-2.5),
      EncodableValue(2.5),
      EncodableValue(inf),
      EncodableValue(nan),
      EncodableValue(""),
      EncodableValue("a"),
      EncodableValue("ab"),
      EncodableValue("b"),
      EncodableValue("\x7f"),
      EncodableValue("\x80"),  // bytes compare unsigned
      EncodableValue("\xff"),
      EncodableValue(std::vector<uint8_t>{}),
      EncodableValue(std::vector<uint8_t>{0}),
      EncodableValue(std::vector<uint8_t>{0, 0}),
      EncodableValue(std::vector<uint8_t>{1}),
      EncodableValue(std::vector<int32_t>{-1}),
      EncodableValue(std::vector<int64_t>{}),
      EncodableValue(std::vector<double>{1.0, nan}),
      EncodableValue(std::vector<double>{2.0}),
      EncodableValue(EncodableList{}),
      EncodableValue(EncodableList{EncodableValue()}),
      EncodableValue(EncodableList{EncodableValue(), EncodableValue("z")}),
      EncodableValue(EncodableList{EncodableValue(false)}),
      EncodableValue(EncodableMap{}),
      EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(int32_t{2})}}),
      EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(int32_t{3})}}),
      EncodableValue(EncodableMap{{EncodableValue("b"), EncodableValue()}}),
      customOf(1),
      EncodableValue(std::vector<float>{-1.0f}),
      EncodableValue(std::vector<float>{-1.0f, 0.0f}),
  };
  for (size_t i = 0; i < ascending.size(); ++i) {
    EXPECT_EQ(EncodableValue::Compare(ascending[i], ascending[i]), 0) << "index " << i;
    for (size_t j = i + 1; j < ascending.size(); ++j) {
      EXPECT_LT(EncodableValue::Compare(ascending[i], ascending[j]), 0) << i << " vs " << j;
      EXPECT_GT(EncodableValue::Compare(ascending[j], ascending[i]), 0) << j << " vs " << i;
      EXPECT_TRUE(std::less<EncodableValue>()(ascending[i], ascending[j])) << i << " vs " << j;
      EXPECT_NE(ascending[i], ascending[j]) << i << " vs " << j;
    }
  }
}

TEST(EncodableValueTest, EquivalentValues) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    EncodableValue a;
    EncodableValue b;
    bool equal;
  };
  const Case cases[] = {
      {"zeros of both signs", EncodableValue(0.0), EncodableValue(-0.0), true},
      {"two NaNs", EncodableValue(nan), EncodableValue(-nan), true},
      {"same number, other width", EncodableValue(int32_t{1}), EncodableValue(int64_t{1}), false},
      {"same text", EncodableValue("x"), EncodableValue(std::string("x")), true},
      {"custom values of one type", customOf(1), customOf(2), true},
      {"custom values of two types", customOf(1), customOf(std::string("1")), false},
      {"deep lists",
       EncodableValue(EncodableList{EncodableValue(EncodableList{EncodableValue(1)})}),
       EncodableValue(EncodableList{EncodableValue(EncodableList{EncodableValue(1)})}), true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.a == c.b, c.equal) << c.name;
    EXPECT_EQ(EncodableValue::Compare(c.a, c.b) == 0, c.equal) << c.name;
    EXPECT_EQ(EncodableValue::Compare(c.b, c.a) == 0, c.equal) << c.name;
  }
}

TEST(EncodableValueTest, MapKeepsKeyOrderWhateverTheInsertionOrder) {
  EncodableMap map;
  map[EncodableValue("task")] = EncodableValue("junk");
  map[EncodableValue("path")] = EncodableValue("");
  map[EncodableValue("count")] = EncodableValue(int64_t{3});
  map[EncodableValue("bytes")] = EncodableValue(int64_t{4096});
  std::vector<std::string> keys;
  for (const auto& entry : map) keys.push_back(*std::get_if<std::string>(&entry.first));
  EXPECT_EQ(keys, (std::vector<std::string>{"bytes", "count", "path", "task"}));
}

TEST(EncodableValueTest, MapStaysSoundWithNaNAndSignedZeroKeys) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EncodableMap map;
  map.emplace(EncodableValue(nan), EncodableValue(1));
  map.emplace(EncodableValue(1.0), EncodableValue(2));
  map.emplace(EncodableValue(-nan), EncodableValue(3));
  map.emplace(EncodableValue(0.0), EncodableValue(4));
  map.emplace(EncodableValue(-0.0), EncodableValue(5));
  ASSERT_EQ(map.size(), 3u);
  EXPECT_EQ(map.at(EncodableValue(nan)), EncodableValue(1));
  EXPECT_EQ(map.at(EncodableValue(-0.0)), EncodableValue(4));
  EXPECT_TRUE(std::isnan(*std::get_if<double>(&map.rbegin()->first)));
}

TEST(EncodableValueTest, TextLiteralIsAString) {
  const EncodableValue value("yes");
  ASSERT_NE(std::get_if<std::string>(&value), nullptr);
  EXPECT_EQ(*std::get_if<std::string>(&value), "yes");
  EncodableValue assigned;
  assigned = "no";
  EXPECT_EQ(assigned, EncodableValue(std::string("no")));
  EXPECT_TRUE(EncodableValue().IsNull());
  EXPECT_FALSE(EncodableValue(false).IsNull());
}

}  // namespace
}  // namespace tidvale
