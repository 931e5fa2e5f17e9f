#include "channels/standard_method_codec.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "channels/test_support.h"

namespace tidvale {
namespace {

using test::hex;
using test::repeatedLine;
using test::stderrOf;
using test::toHex;

const MethodCodec& codec() {
  return StandardMethodCodec::GetInstance();
}

// What a MethodResult was told.
struct Outcome {
  std::string kind;  // "success", "error", "notImplemented"; "" when nothing was called
  std::optional<EncodableValue> value;  // Success value or Error details, when given
  std::string code;
  std::string message;
  int calls = 0;
};

struct Processed {
  bool handled = false;
  Outcome outcome;
  std::string diagnostics;
};

Processed processResponse(const std::vector<uint8_t>& bytes) {
  Processed processed;
  Outcome& outcome = processed.outcome;
  MethodResultFunctions result(
      [&](const EncodableValue* value) {
        ++outcome.calls;
        outcome.kind = "success";
        if (value) outcome.value = *value;
      },
      [&](const std::string& code, const std::string& message, const EncodableValue* details) {
        ++outcome.calls;
        outcome.kind = "error";
        outcome.code = code;
        outcome.message = message;
        if (details) outcome.value = *details;
      },
      [&] {
        ++outcome.calls;
        outcome.kind = "notImplemented";
      });
  processed.diagnostics = stderrOf([&] {
    processed.handled =
        codec().DecodeAndProcessResponseEnvelope(bytes.data(), bytes.size(), &result);
  });
  return processed;
}

EncodableValue progressEvent() {
  EncodableMap event;
  event[EncodableValue("task")] = EncodableValue("junk");
  event[EncodableValue("path")] = EncodableValue("");
  event[EncodableValue("count")] = EncodableValue(int64_t{3});
  event[EncodableValue("bytes")] = EncodableValue(int64_t{4096});
  return EncodableValue(event);
}

TEST(StandardMethodCodecTest, EncodesTheWorkedExamples) {
  const EncodableValue sizeMap(EncodableMap{{EncodableValue("size"), EncodableValue(int64_t{5})}});
  const EncodableValue doubleMap(EncodableMap{{EncodableValue("a"), EncodableValue(1.0)}});
  const EncodableValue yes(true);
  const EncodableValue one(1.0);
  const EncodableValue event = progressEvent();
  const std::string noStream = "No active stream to cancel";
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string expected;
  };
  const Case cases[] = {
      {"call without arguments", *codec().EncodeMethodCall(MethodCall("cancel", nullptr)),
       "07 06 63 61 6E 63 65 6C 00"},
      {"call with arguments",
       *codec().EncodeMethodCall(MethodCall("x", std::make_unique<EncodableValue>(int32_t{1}))),
       "07 01 78 03 01 00 00 00"},
      {"success true", *codec().EncodeSuccessEnvelope(&yes), "00 01"},
      {"success without value", *codec().EncodeSuccessEnvelope(), "00 00"},
      {"success map", *codec().EncodeSuccessEnvelope(&sizeMap),
       "00 0D 01 07 04 73 69 7A 65 04 05 00 00 00 00 00 00 00"},
      {"success double, 16 bytes", *codec().EncodeSuccessEnvelope(&one),
       "00 06 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F"},
      {"double in a map padded from the envelope's start",
       *codec().EncodeSuccessEnvelope(&doubleMap),
       "00 0D 01 07 01 61 06 00 00 00 00 00 00 00 F0 3F"},
      {"error without details", *codec().EncodeErrorEnvelope("error", noStream),
       "01 07 05 65 72 72 6F 72 07 1A " + toHex({noStream.begin(), noStream.end()}) + " 00"},
      {"error with empty message and details", *codec().EncodeErrorEnvelope("e", "", &yes),
       "01 07 01 65 00 01"},
      {"progress event of 55 bytes", *codec().EncodeSuccessEnvelope(&event),
       "00 0D 04 07 05 62 79 74 65 73 04 00 10 00 00 00 00 00 00 07 05 63 6F 75 6E 74 04 03 00 "
       "00 00 00 00 00 00 07 04 70 61 74 68 07 00 07 04 74 61 73 6B 07 04 6A 75 6E 6B"},
  };
  for (const Case& c : cases) EXPECT_EQ(toHex(c.bytes), toHex(hex(c.expected))) << c.name;
  EXPECT_EQ(cases[std::size(cases) - 1].bytes.size(), 55u);
}

TEST(StandardMethodCodecTest, DecodesMethodCalls) {
  struct Case {
    const char* name;
    const char* bytes;
    std::optional<std::string> method;  // none when no call results
    EncodableValue arguments;
    std::string diagnostics;
  };
  const Case cases[] = {
      {"without arguments", "07 06 63 61 6E 63 65 6C 00", "cancel", EncodableValue(), ""},
      {"arguments missing altogether", "07 01 78", "x", EncodableValue(),
       repeatedLine(kInvalidReadMessage)},
      {"bytes after the arguments are ignored", "07 01 78 01 02 03", "x", EncodableValue(true), ""},
      {"name is an integer", "03 03 00 00 00 00", std::nullopt, EncodableValue(),
       repeatedLine(kInvalidMethodCallMessage)},
      {"zero bytes", "", std::nullopt, EncodableValue(),
       repeatedLine(kInvalidReadMessage) + repeatedLine(kInvalidMethodCallMessage)},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> bytes = hex(c.bytes);
    std::unique_ptr<MethodCall> call;
    const std::string diagnostics = stderrOf([&] { call = codec().DecodeMethodCall(bytes); });
    EXPECT_EQ(diagnostics, c.diagnostics) << c.name;
    if (!c.method) {
      EXPECT_EQ(call, nullptr) << c.name;
      continue;
    }
    ASSERT_NE(call, nullptr) << c.name;
    EXPECT_EQ(call->methodName(), *c.method) << c.name;
    ASSERT_NE(call->arguments(), nullptr) << c.name;
    EXPECT_EQ(*call->arguments(), c.arguments) << c.name;
  }
}

TEST(StandardMethodCodecTest, ProcessesResponseEnvelopes) {
  const std::string badEnvelope = repeatedLine(kInvalidErrorEnvelopeMessage);
  struct Case {
    const char* name;
    const char* bytes;
    bool handled;
    const char* kind;
    std::optional<EncodableValue> value;
    std::string code;
    std::string message;
    std::string diagnostics;
  };
  const Case cases[] = {
      {"success with a value", "00 01", true, "success", EncodableValue(true), "", "", ""},
      {"success with null", "00 00", true, "success", std::nullopt, "", "", ""},
      {"error with details", "01 07 01 63 07 01 6D 03 07 00 00 00", true, "error",
       EncodableValue(int32_t{7}), "c", "m", ""},
      {"error with null message and details", "01 07 01 63 00 00", true, "error", std::nullopt, "c",
       "", ""},
      {"unknown envelope byte", "02 00", false, "", std::nullopt, "", "", ""},
      {"error code is not a string", "01 03 01 00 00 00 00 00", false, "", std::nullopt, "", "",
       badEnvelope},
      {"error message is a number", "01 07 01 63 03 01 00 00 00 00", false, "", std::nullopt, "",
       "", badEnvelope},
      {"error code missing", "01", false, "", std::nullopt, "", "",
       repeatedLine(kInvalidReadMessage, 3) + badEnvelope},
  };
  for (const Case& c : cases) {
    const Processed processed = processResponse(hex(c.bytes));
    EXPECT_EQ(processed.handled, c.handled) << c.name;
    EXPECT_EQ(processed.outcome.kind, c.kind) << c.name;
    EXPECT_EQ(processed.outcome.calls, c.handled ? 1 : 0) << c.name;
    EXPECT_EQ(processed.outcome.value, c.value) << c.name;
    EXPECT_EQ(processed.outcome.code, c.code) << c.name;
    EXPECT_EQ(processed.outcome.message, c.message) << c.name;
    EXPECT_EQ(processed.diagnostics, c.diagnostics) << c.name;
  }
}

}  // namespace
}  // namespace tidvale
