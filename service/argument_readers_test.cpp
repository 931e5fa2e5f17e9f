#include "service/argument_readers.h"

#include <gtest/gtest.h>

namespace tidvale {
namespace {

EncodableMap sample() {
  return EncodableMap{
      {EncodableValue("flag"), EncodableValue(true)},
      {EncodableValue("narrow"), EncodableValue(int32_t{-5})},
      {EncodableValue("wide"), EncodableValue(int64_t{1} << 40)},
      {EncodableValue("real"), EncodableValue(5.0)},
      {EncodableValue("text"), EncodableValue("abc")},
      {EncodableValue("list"),
       EncodableValue(EncodableList{EncodableValue("a"), EncodableValue(int32_t{7}),
                                    EncodableValue("b"), EncodableValue()})},
      {EncodableValue(int32_t{1}), EncodableValue("not a string key")},
  };
}

TEST(ArgumentReaders, IntegersWidenAndOtherTypesFallBack) {
  const EncodableMap args = sample();
  struct Case {
    const char* key;
    int64_t expected;
  } cases[] = {
      {"narrow", -5},  // 32-bit widened with its sign
      {"wide", int64_t{1} << 40},
      {"real", 99},  // a double is not an integer
      {"text", 99},
      {"flag", 99},
      {"missing", 99},
  };
  for (const auto& c : cases) EXPECT_EQ(argInt(&args, c.key, 99), c.expected) << c.key;
}

TEST(ArgumentReaders, BoolAndStringTakeOnlyTheirOwnType) {
  const EncodableMap args = sample();
  EXPECT_TRUE(argBool(&args, "flag", false));
  EXPECT_FALSE(argBool(&args, "narrow", false));
  EXPECT_TRUE(argBool(&args, "missing", true));
  EXPECT_EQ(argString(&args, "text", "d"), "abc");
  EXPECT_EQ(argString(&args, "narrow", "d"), "d");
  EXPECT_EQ(argString(&args, "1", "d"), "d");  // keys are looked up as strings only
}

TEST(ArgumentReaders, StringListSkipsOtherElementsAndNonLists) {
  const EncodableMap args = sample();
  EXPECT_EQ(argStringList(&args, "list"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(argStringList(&args, "text").empty());
  EXPECT_TRUE(argStringList(&args, "missing").empty());
}

TEST(ArgumentReaders, AbsentMapGivesDefaults) {
  EXPECT_EQ(argInt(nullptr, "wide", 3), 3);
  EXPECT_TRUE(argBool(nullptr, "flag", true));
  EXPECT_EQ(argString(nullptr, "text", "x"), "x");
  EXPECT_TRUE(argStringList(nullptr, "list").empty());
}

}  // namespace
}  // namespace tidvale
