#include "channels/method_channel.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "channels/channel_test_fixture.h"
#include "channels/engine_method_result.h"

namespace tidvale {
namespace {

using test::Bytes;
using test::hex;
using test::repeatedLine;
using test::stderrOf;
using test::toHex;

constexpr char kChannel[] = "tidvale/native";

class MethodChannelTest : public test::ChannelTest {
 protected:
  // Installs a handler that records each call and keeps its result unanswered.
  void keepResults() {
    channel.SetMethodCallHandler(
        [this](const MethodCall& call, std::unique_ptr<MethodResult> result) {
          methods.push_back(call.methodName());
          arguments.push_back(call.arguments() ? *call.arguments() : EncodableValue("absent"));
          results.push_back(std::move(result));
        });
  }

  MethodChannel channel{&messenger, kChannel, &codec()};
  std::vector<std::string> methods;
  std::vector<EncodableValue> arguments;
  std::vector<std::unique_ptr<MethodResult>> results;
};

TEST_F(MethodChannelTest, AnswersAreEncodedOnce) {
  const EncodableValue details("why");
  const EncodableValue map(EncodableMap{{EncodableValue("ok"), EncodableValue(true)}});
  struct Case {
    const char* name;
    std::function<void(MethodResult&)> answer;
    std::string response;
  };
  const Case cases[] = {
      {"success with a value", [&](MethodResult& r) { r.Success(map); }, successHex(&map)},
      {"success without a value", [](MethodResult& r) { r.Success(); }, "00 00"},
      {"error", [&](MethodResult& r) { r.Error("bad", "it failed", &details); },
       errorHex("bad", "it failed", &details)},
      {"error with code only", [](MethodResult& r) { r.Error("bad"); }, "01 07 03 62 61 64 00 00"},
      {"not implemented", [](MethodResult& r) { r.NotImplemented(); }, ""},
  };
  keepResults();
  for (const Case& c : cases) {
    const EncodableValue args(int32_t{42});
    const auto delivery = call(kChannel, "doIt", &args);
    ASSERT_FALSE(results.empty()) << c.name;
    EXPECT_EQ(response(delivery), "none") << c.name;
    EXPECT_EQ(stderrOf([&] { c.answer(*results.back()); }), "") << c.name;
    EXPECT_EQ(response(delivery), c.response) << c.name;

    // Any further answer is ignored with one line each.
    const std::string again = stderrOf([&] {
      results.back()->Success();
      results.back()->NotImplemented();
    });
    EXPECT_EQ(again, repeatedLine(kDuplicateResultMessage, 2)) << c.name;
    EXPECT_EQ(engine.ResponseAttempts(delivery.id), 1) << c.name;
    EXPECT_EQ(response(delivery), c.response) << c.name;
  }
  EXPECT_EQ(methods, std::vector<std::string>(std::size(cases), "doIt"));
  EXPECT_EQ(arguments, std::vector<EncodableValue>(std::size(cases), EncodableValue(42)));
}

TEST_F(MethodChannelTest, UnansweredResultWarnsAndSendsNothing) {
  keepResults();
  const auto delivery = call(kChannel, "forgotten");
  EXPECT_EQ(stderrOf([&] { results.clear(); }), repeatedLine(kUnansweredResultMessage));
  EXPECT_EQ(response(delivery), "none");
}

TEST_F(MethodChannelTest, MessagesThatAreNotCallsGetAnEmptyReply) {
  const std::string unable = std::string(kUndecodableCallMessage) + kChannel;
  struct Case {
    const char* name;
    Bytes bytes;
    std::string diagnostics;
  };
  const Case cases[] = {
      {"name is an integer", hex("03 03 00 00 00 00"),
       repeatedLine(kInvalidMethodCallMessage) + repeatedLine(unable)},
      {"zero bytes",
       {},
       repeatedLine(kInvalidReadMessage) + repeatedLine(kInvalidMethodCallMessage) +
           repeatedLine(unable)},
  };
  keepResults();
  for (const Case& c : cases) {
    const auto delivery = deliver(kChannel, c.bytes);
    EXPECT_EQ(delivery.diagnostics, c.diagnostics) << c.name;
    EXPECT_EQ(response(delivery), "") << c.name;
  }
  EXPECT_TRUE(methods.empty());
}

TEST_F(MethodChannelTest, HandlerOutlivesTheChannelObject) {
  auto scoped = std::make_unique<MethodChannel>(&messenger, "scoped", &codec());
  scoped->SetMethodCallHandler([](const MethodCall& call, std::unique_ptr<MethodResult> result) {
    result->Success(EncodableValue(call.methodName()));
  });
  scoped.reset();
  const EncodableValue expected("echo");
  EXPECT_EQ(response(call("scoped", "echo")), successHex(&expected));
}

TEST_F(MethodChannelTest, RemovingTheHandler) {
  keepResults();
  channel.SetMethodCallHandler(nullptr);
  EXPECT_FALSE(engine.HasHandler(kChannel));
  EXPECT_EQ(response(call(kChannel, "x")), "");
  EXPECT_TRUE(methods.empty());
}

TEST_F(MethodChannelTest, AnswerAfterTheEngineHasGoneIsDroppedQuietly) {
  keepResults();
  const auto delivery = call(kChannel, "late");
  engine.Shutdown();
  EXPECT_EQ(stderrOf([&] { results[0]->Success(); }), "");
  EXPECT_EQ(engine.ResponseAttempts(delivery.id), 0);
}

TEST_F(MethodChannelTest, InvokeMethodHandsTheReplyToTheResult) {
  struct Case {
    const char* name;
    Bytes reply;
    std::string outcome;
    std::string diagnostics;
  };
  const Case cases[] = {
      {"success", hex("00 03 05 00 00 00"), "success 5", ""},
      {"error", hex("01 07 01 63 07 01 6D 00"), "error c m", ""},
      {"empty reply", {}, "notImplemented", ""},
      {"malformed reply", hex("07"), "",
       repeatedLine(std::string(kUndecodableReplyMessage) + kChannel)},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    std::string outcome;
    auto result = std::make_unique<MethodResultFunctions>(
        [&](const EncodableValue* value) {
          outcome = "success " + std::to_string(value ? value->LongValue() : -1);
        },
        [&](const std::string& code, const std::string& message, const EncodableValue*) {
          outcome = "error " + code + " " + message;
        },
        [&] { outcome = "notImplemented"; });
    channel.InvokeMethod("ask", std::make_unique<EncodableValue>(true), std::move(result));
    ASSERT_EQ(engine.sent().size(), i + 1) << c.name;
    EXPECT_EQ(engine.sent()[i].channel, kChannel) << c.name;
    EXPECT_EQ(toHex(engine.sent()[i].bytes), "07 03 61 73 6B 01") << c.name;
    EXPECT_EQ(stderrOf([&] { EXPECT_TRUE(engine.AnswerSent(i, c.reply)); }), c.diagnostics)
        << c.name;
    EXPECT_EQ(outcome, c.outcome) << c.name;
  }

  channel.InvokeMethod("tell", nullptr);
  EXPECT_FALSE(engine.sent().back().wantsReply);
  EXPECT_EQ(toHex(engine.sent().back().bytes), "07 04 74 65 6C 6C 00");
}

}  // namespace
}  // namespace tidvale
