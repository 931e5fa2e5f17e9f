#include "service/method_call_handler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/dispatcher.h"
#include "core/recording_channels_test_support.h"

namespace tidvale {
namespace {

using testing::RecordedAnswer;
using testing::RecordingMethodResult;
using Kind = RecordedAnswer::Kind;

class MethodCallHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override { dispatcher().drain(); }

  void call(const std::string& method, std::unique_ptr<EncodableValue> args = nullptr) {
    handleMethodCall(state, MethodCall(method, std::move(args)),
                     std::make_unique<RecordingMethodResult>(&answers));
  }

  // Background replies arrive through the hand-over queue; drain it until `count` answers exist.
  void awaitAnswers(size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (answers.size() < count && std::chrono::steady_clock::now() < deadline) {
      dispatcher().drain();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(answers.size(), count);
  }

  ServiceState state;
  std::vector<RecordedAnswer> answers;
};

TEST_F(MethodCallHandlerTest, CancelSetsTheFlagAndRepliesTrueAtOnce) {
  call("cancel");
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].kind, Kind::success);
  EXPECT_EQ(answers[0].value, EncodableValue(true));
  EXPECT_TRUE(state.cancelled());
}

TEST_F(MethodCallHandlerTest, CancelFlagRulesForEachClassOfMethod) {
  struct Case {
    const char* method;
    bool flagAfterStart;
  } cases[] = {
      {"systemInfo", true},       {"memoryInfo", true},     {"optimizeMemory", true},
      {"listStartupItems", true}, {"setStartupItem", true}, {"removeStartupItem", true},
      {"deleteItems", false},     {"listApps", false},      {"noSuchMethod", false},
      {"SystemInfo", false},  // names match exactly, case included
  };
  size_t expected = 0;
  for (const auto& c : cases) {
    call("cancel");
    ++expected;
    call(c.method);  // the flag is decided before the handler returns
    EXPECT_EQ(state.cancelled(), c.flagAfterStart) << c.method;
    awaitAnswers(++expected);
  }
}

TEST_F(MethodCallHandlerTest, UnknownMethodIsAnsweredNotImplementedThroughTheHandOver) {
  call("noSuchMethod", std::make_unique<EncodableValue>(EncodableList{}));
  EXPECT_TRUE(answers.empty());  // never answered on the spot
  awaitAnswers(1);
  EXPECT_EQ(answers[0].kind, Kind::notImplemented);
}

TEST_F(MethodCallHandlerTest, SizeOfWithoutArgumentsRepliesZero) {
  call("sizeOf", std::make_unique<EncodableValue>());
  awaitAnswers(1);
  EXPECT_EQ(answers[0].kind, Kind::success);
  EXPECT_EQ(answers[0].value,
            EncodableValue(EncodableMap{{EncodableValue("size"), EncodableValue(int64_t{0})}}));
}

TEST_F(MethodCallHandlerTest, ManyConcurrentBackgroundCallsAreEachAnsweredOnce) {
  constexpr size_t kCalls = 50;
  for (size_t i = 0; i < kCalls; ++i) call(i % 2 ? "noSuchMethod" : "sizeOf");
  awaitAnswers(kCalls);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  dispatcher().drain();
  EXPECT_EQ(answers.size(), kCalls);
}

TEST_F(MethodCallHandlerTest, OpenPathAnswersTrueEvenWhenTheShellFails) {
  call("openPath", std::make_unique<EncodableValue>(
                       EncodableMap{{EncodableValue("path"), EncodableValue("C:\\no\\such")}}));
  call("openPath", std::make_unique<EncodableValue>(EncodableList{}));  // not a map: path ""
  ASSERT_EQ(answers.size(), 2u);
  for (const auto& answer : answers) EXPECT_EQ(answer.value, EncodableValue(true));
}

}  // namespace
}  // namespace tidvale
