#include "channels/standard_codec_serializer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "channels/test_support.h"

namespace tidvale {
namespace {

using test::hex;
using test::repeatedLine;
using test::stderrOf;
using test::toHex;

std::vector<uint8_t> encode(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

struct Decoded {
  EncodableValue value;
  size_t position = 0;  // where the reader stopped
  std::string diagnostics;
};

Decoded decode(const std::vector<uint8_t>& bytes) {
  Decoded decoded;
  decoded.diagnostics = stderrOf([&] {
    ByteBufferStreamReader reader(bytes.data(), bytes.size());
    decoded.value = StandardCodecSerializer::GetInstance().ReadValue(&reader);
    decoded.position = reader.position();
  });
  return decoded;
}

// A list nested `depth` deep (the outermost is level 1) around `innermost`.
EncodableValue nestedLists(int depth, EncodableValue innermost) {
  EncodableValue value = std::move(innermost);
  for (int level = 0; level < depth; ++level) value = EncodableValue(EncodableList{value});
  return value;
}

TEST(StandardCodecSerializerTest, EncodesEachAlternativeAndReadsItBack) {
  struct Case {
    const char* name;
    EncodableValue value;
    const char* bytes;
  };
  const Case cases[] = {
      {"null", EncodableValue(), "00"},
      {"true", EncodableValue(true), "01"},
      {"false", EncodableValue(false), "02"},
      {"int32", EncodableValue(int32_t{-2}), "03 FE FF FF FF"},
      {"int64", EncodableValue(int64_t{5}), "04 05 00 00 00 00 00 00 00"},
      {"double, padded from the first byte", EncodableValue(1.0),
       "06 00 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F"},
      {"string", EncodableValue("ab"), "07 02 61 62"},
      {"empty string", EncodableValue(""), "07 00"},
      {"UTF-8 string", EncodableValue("\xC3\xA9"), "07 02 C3 A9"},
      {"bytes", EncodableValue(std::vector<uint8_t>{1, 2, 255}), "08 03 01 02 FF"},
      {"int32 list", EncodableValue(std::vector<int32_t>{1, -1}),
       "09 02 00 00 01 00 00 00 FF FF FF FF"},
      {"int64 list", EncodableValue(std::vector<int64_t>{7}),
       "0A 01 00 00 00 00 00 00 07 00 00 00 00 00 00 00"},
      {"double list", EncodableValue(std::vector<double>{0.5}),
       "0B 01 00 00 00 00 00 00 00 00 00 00 00 00 E0 3F"},
      {"float list", EncodableValue(std::vector<float>{1.0f}), "0E 01 00 00 00 00 80 3F"},
      {"empty int32 list", EncodableValue(std::vector<int32_t>{}), "09 00"},
      {"empty int64 list", EncodableValue(std::vector<int64_t>{}), "0A 00"},
      {"empty double list", EncodableValue(std::vector<double>{}), "0B 00"},
      {"empty float list", EncodableValue(std::vector<float>{}), "0E 00"},
      {"list", EncodableValue(EncodableList{EncodableValue(1), EncodableValue("a")}),
       "0C 02 03 01 00 00 00 07 01 61"},
      {"map", EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(true)}}),
       "0D 01 07 01 61 01"},
      {"double inside lists, padded from the first byte", nestedLists(2, EncodableValue(2.0)),
       "0C 01 0C 01 06 00 00 00 00 00 00 00 00 00 00 40"},
      {"map in key order",
       EncodableValue(EncodableMap{{EncodableValue("b"), EncodableValue()},
                                   {EncodableValue(int32_t{9}), EncodableValue()},
                                   {EncodableValue("a"), EncodableValue()}}),
       "0D 03 03 09 00 00 00 00 07 01 61 00 07 01 62 00"},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> bytes = encode(c.value);
    EXPECT_EQ(toHex(bytes), toHex(hex(c.bytes))) << c.name;
    const Decoded decoded = decode(bytes);
    EXPECT_EQ(decoded.value, c.value) << c.name;
    EXPECT_EQ(decoded.position, bytes.size()) << c.name;
    EXPECT_EQ(decoded.diagnostics, "") << c.name;
  }
}

TEST(StandardCodecSerializerTest, SizeTakesOneThreeOrFiveBytes) {
  struct Case {
    size_t length;
    const char* header;
  };
  const Case cases[] = {
      {0, "07 00"},
      {253, "07 FD"},
      {254, "07 FE FE 00"},
      {65535, "07 FE FF FF"},
      {65536, "07 FF 00 00 01 00"},
      {70000, "07 FF 70 11 01 00"},
  };
  for (const Case& c : cases) {
    const EncodableValue value(std::string(c.length, 'x'));
    const std::vector<uint8_t> bytes = encode(value);
    const std::vector<uint8_t> header = hex(c.header);
    ASSERT_EQ(bytes.size(), header.size() + c.length) << c.length;
    EXPECT_EQ(toHex({bytes.begin(), bytes.begin() + header.size()}), toHex(header)) << c.length;
    EXPECT_EQ(decode(bytes).value, value) << c.length;
  }
  // Element counts use the same sizes.
  const EncodableValue list(EncodableList(254));
  const std::vector<uint8_t> bytes = encode(list);
  EXPECT_EQ(toHex({bytes.begin(), bytes.begin() + 4}), "0C FE FE 00");
  EXPECT_EQ(bytes.size(), 4u + 254u);
  EXPECT_EQ(decode(bytes).value, list);
}

TEST(StandardCodecSerializerTest, ReadsOddButValidInput) {
  struct Case {
    const char* name;
    const char* bytes;
    EncodableValue expected;
  };
  const Case cases[] = {
      {"wire type 5 reads as a string", "05 02 61 62", EncodableValue("ab")},
      {"empty typed list skips to its alignment", "0C 03 07 00 09 00 AA AA 01",
       EncodableValue(EncodableList{EncodableValue(""), EncodableValue(std::vector<int32_t>{}),
                                    EncodableValue(true)})},
      {"first occurrence of a repeated key wins",
       "0D 02 07 01 61 03 01 00 00 00 07 01 61 03 02 00 00 00",
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(1)}})},
      {"size 254 followed by a small 16-bit size", "07 FE 01 00 61", EncodableValue("a")},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> bytes = hex(c.bytes);
    const Decoded decoded = decode(bytes);
    EXPECT_EQ(decoded.value, c.expected) << c.name;
    EXPECT_EQ(decoded.position, bytes.size()) << c.name;
    EXPECT_EQ(decoded.diagnostics, "") << c.name;
  }
}

TEST(StandardCodecSerializerTest, BadInputReadsAsNullOrZerosWithDiagnostics) {
  const std::string invalidRead = repeatedLine(kInvalidReadMessage);
  struct Case {
    const char* name;
    const char* bytes;
    EncodableValue expected;
    size_t position;
    std::string diagnostics;
  };
  const Case cases[] = {
      {"unknown type consumes nothing more", "0F 01", EncodableValue(), 1,
       repeatedLine(std::string(kUnknownTypeMessage) + "15")},
      {"highest type byte", "FF", EncodableValue(), 1,
       repeatedLine(std::string(kUnknownTypeMessage) + "255")},
      {"missing type byte", "", EncodableValue(), 0, invalidRead},
      {"truncated string keeps its declared size", "07 03 61 62",
       EncodableValue(std::string(3, '\0')), 2, invalidRead},
      {"truncated int32", "03 01 02", EncodableValue(int32_t{0}), 1, invalidRead},
      {"truncated double", "06 00 00 00 00 00 00 00 00 F0", EncodableValue(0.0), 8, invalidRead},
      {"truncated typed list", "09 02 00 00 01 00 00 00",
       EncodableValue(std::vector<int32_t>{0, 0}), 4, invalidRead},
      {"missing 16-bit size", "07 FE 01", EncodableValue(""), 2, invalidRead},
      {"list longer than the message", "0C 03 01",
       EncodableValue(EncodableList{EncodableValue(true), EncodableValue(), EncodableValue()}), 3,
       repeatedLine(kInvalidReadMessage, 2)},
      {"map longer than the message", "0D 02 07 01 61 01",
       EncodableValue(EncodableMap{{EncodableValue("a"), EncodableValue(true)},
                                   {EncodableValue(), EncodableValue()}}),
       6, repeatedLine(kInvalidReadMessage, 2)},
  };
  for (const Case& c : cases) {
    const Decoded decoded = decode(hex(c.bytes));
    EXPECT_EQ(decoded.value, c.expected) << c.name;
    EXPECT_EQ(decoded.position, c.position) << c.name;
    EXPECT_EQ(decoded.diagnostics, c.diagnostics) << c.name;
  }
}

TEST(StandardCodecSerializerTest, HugeDeclaredSizesDoNotAllocate) {
  struct Case {
    const char* name;
    const char* bytes;
    EncodableValue expected;
  };
  const Case cases[] = {
      {"string of 4 GiB", "07 FF FF FF FF FF 61", EncodableValue("")},
      {"bytes of 4 GiB", "08 FF FF FF FF FF 61", EncodableValue(std::vector<uint8_t>{})},
      {"int64 list of 32 GiB", "0A FF FF FF FF FF", EncodableValue(std::vector<int64_t>{})},
      {"float list just over the allowance", "0E FF 01 40 00 00",
       EncodableValue(std::vector<float>{})},
  };
  for (const Case& c : cases) {
    const Decoded decoded = decode(hex(c.bytes));
    EXPECT_EQ(decoded.value, c.expected) << c.name;
    EXPECT_EQ(decoded.diagnostics, repeatedLine(kInvalidReadMessage)) << c.name;
  }
}

TEST(StandardCodecSerializerTest, MadeUpBytesShareOneAllowancePerRead) {
  // The first string is zero-filled to 40000 bytes; what is left of the allowance cannot cover a
  // second one, which reads as empty. (The first read does not advance, so the second string's
  // header is the first one's data.)
  const Decoded strings = decode(hex("0C 02 07 FE 40 9C 07 FE 40 9C"));
  EXPECT_EQ(strings.value, EncodableValue(EncodableList{EncodableValue(std::string(40000, '\0')),
                                                        EncodableValue("")}));
  EXPECT_EQ(strings.diagnostics, repeatedLine(kInvalidReadMessage, 2));

  // Missing elements of lists and maps share their own allowance; the list or map stops when it
  // runs out.
  const Decoded nulls = decode(hex("0C 02 0C FF 70 11 01 00 01 02"));
  const auto* outer = std::get_if<EncodableList>(&nulls.value);
  ASSERT_NE(outer, nullptr);
  ASSERT_EQ(outer->size(), 1u);
  const auto* inner = std::get_if<EncodableList>(&outer->front());
  ASSERT_NE(inner, nullptr);
  ASSERT_EQ(inner->size(), 2 + kMadeUpElementsAllowance);
  EXPECT_EQ((*inner)[0], EncodableValue(true));
  EXPECT_EQ((*inner)[1], EncodableValue(false));
  EXPECT_TRUE(inner->back().IsNull());
  // One line per missing element, then one where each list stops.
  EXPECT_EQ(nulls.diagnostics, repeatedLine(kInvalidReadMessage, kMadeUpElementsAllowance + 2));

  // Each top-level read has its own allowance.
  EXPECT_EQ(decode(hex("07 FE 40 9C")).value, EncodableValue(std::string(40000, '\0')));
}

TEST(StandardCodecSerializerTest, NestingIsCappedWithOneDiagnostic) {
  const std::string deepest = repeatedLine(kNestingTooDeepMessage);
  // kMaxNestingDepth levels read in full.
  const EncodableValue deepestAllowed = nestedLists(kMaxNestingDepth, EncodableValue(true));
  const Decoded allowed = decode(encode(deepestAllowed));
  EXPECT_EQ(allowed.value, deepestAllowed);
  EXPECT_EQ(allowed.diagnostics, "");

  // One more level reads as null, its payload unread.
  const std::vector<uint8_t> tooDeep = encode(nestedLists(kMaxNestingDepth + 1, EncodableValue()));
  const Decoded capped = decode(tooDeep);
  EXPECT_EQ(capped.value, nestedLists(kMaxNestingDepth, EncodableValue()));
  EXPECT_EQ(capped.position, tooDeep.size() - 2);
  EXPECT_EQ(capped.diagnostics, deepest);

  // Several too-deep maps in one read still write the line once.
  EncodableList siblings(3, EncodableValue(EncodableMap{}));
  const Decoded many = decode(encode(nestedLists(kMaxNestingDepth - 1, EncodableValue(siblings))));
  EXPECT_EQ(many.value, nestedLists(kMaxNestingDepth - 1, EncodableValue(EncodableList(3))));
  EXPECT_EQ(many.diagnostics, deepest);

  // The next read starts afresh.
  EXPECT_EQ(decode(tooDeep).diagnostics, deepest);
}

TEST(StandardCodecSerializerTest, ThreadsDecodeIndependently) {
  // Each thread's nesting depth is its own: values at the cap decode whole on every thread at once.
  const EncodableValue deepest = nestedLists(kMaxNestingDepth, EncodableValue("leaf"));
  const std::vector<uint8_t> bytes = encode(deepest);
  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < kRounds; ++round) {
        ByteBufferStreamReader reader(bytes.data(), bytes.size());
        if (StandardCodecSerializer::GetInstance().ReadValue(&reader) != deepest) ++mismatches;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST(StandardCodecSerializerTest, CustomValueIsWrittenAsNull) {
  std::vector<uint8_t> bytes;
  const std::string diagnostics = stderrOf([&] {
    bytes = encode(EncodableValue(
        EncodableList{EncodableValue(CustomEncodableValue(std::any(3))), EncodableValue(true)}));
  });
  EXPECT_EQ(toHex(bytes), "0C 02 00 01");
  EXPECT_EQ(diagnostics, repeatedLine(kUnhandledCustomTypeMessage));
}

}  // namespace
}  // namespace tidvale
