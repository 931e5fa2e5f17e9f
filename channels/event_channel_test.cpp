#include "channels/event_channel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "channels/channel_test_fixture.h"

namespace tidvale {
namespace {

using test::hex;
using test::repeatedLine;
using test::toHex;

constexpr char kChannel[] = "tidvale/events";

std::unique_ptr<StreamHandlerError> makeError(const std::string& code, const std::string& message,
                                              const EncodableValue* details = nullptr) {
  return std::make_unique<StreamHandlerError>(StreamHandlerError{
      code, message, details ? std::make_unique<EncodableValue>(*details) : nullptr});
}

class EventChannelTest : public test::ChannelTest {
 protected:
  // Installs a handler that logs each listen and cancel with its arguments, keeps the sink, and
  // answers with the errors queued in listenErrors / cancelErrors (none when empty).
  void installRecordingHandler() {
    channel.SetStreamHandler(std::make_unique<StreamHandlerFunctions>(
        [this](const EncodableValue* arguments, std::unique_ptr<EventSink>&& events) {
          log.push_back("listen " + describe(arguments));
          sink = std::move(events);
          return takeFirst(listenErrors);
        },
        [this](const EncodableValue* arguments) {
          log.push_back("cancel " + describe(arguments));
          return takeFirst(cancelErrors);
        }));
  }

  static std::string describe(const EncodableValue* arguments) {
    if (arguments == nullptr) return "none";
    if (arguments->IsNull()) return "null";
    const auto* text = std::get_if<std::string>(arguments);
    return text ? *text : "other";
  }

  static std::unique_ptr<StreamHandlerError> takeFirst(
      std::vector<std::unique_ptr<StreamHandlerError>>& queue) {
    if (queue.empty()) return nullptr;
    std::unique_ptr<StreamHandlerError> first = std::move(queue.front());
    queue.erase(queue.begin());
    return first;
  }

  EventChannel channel{&messenger, kChannel, &codec()};
  std::vector<std::string> log;
  std::unique_ptr<EventSink> sink;
  std::vector<std::unique_ptr<StreamHandlerError>> listenErrors;
  std::vector<std::unique_ptr<StreamHandlerError>> cancelErrors;
};

TEST_F(EventChannelTest, ListenThenEventsThenCancel) {
  installRecordingHandler();
  const EncodableValue arguments("filter");
  const auto listen = call(kChannel, kListenMethod, &arguments);
  EXPECT_EQ(listen.diagnostics, "");
  EXPECT_EQ(response(listen), "00 00");
  ASSERT_NE(sink, nullptr);

  EncodableMap event;
  event[EncodableValue("task")] = EncodableValue("junk");
  event[EncodableValue("path")] = EncodableValue("");
  event[EncodableValue("count")] = EncodableValue(int64_t{3});
  event[EncodableValue("bytes")] = EncodableValue(int64_t{4096});
  const EncodableValue details(int32_t{2});
  sink->Success(EncodableValue(event));
  sink->Success();
  sink->Error("boom", "", &details);
  sink->EndOfStream();
  const std::vector<std::string> sent = {
      "00 0D 04 07 05 62 79 74 65 73 04 00 10 00 00 00 00 00 00 07 05 63 6F 75 6E 74 04 03 00 00 "
      "00 00 00 00 00 07 04 70 61 74 68 07 00 07 04 74 61 73 6B 07 04 6A 75 6E 6B",
      "00 00",
      "01 07 04 62 6F 6F 6D 00 03 02 00 00 00",
      "",
  };
  ASSERT_EQ(engine.sent().size(), sent.size());
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(engine.sent()[i].channel, kChannel);
    EXPECT_EQ(toHex(engine.sent()[i].bytes), toHex(hex(sent[i]))) << i;
    EXPECT_FALSE(engine.sent()[i].wantsReply);
  }

  const EncodableValue cancelArguments("bye");
  EXPECT_EQ(response(call(kChannel, kCancelMethod, &cancelArguments)), "00 00");
  // The stream is no longer active.
  EXPECT_EQ(response(call(kChannel, kCancelMethod)),
            errorHex(kChannelErrorCode, kNoActiveStreamMessage));
  EXPECT_EQ(log, (std::vector<std::string>{"listen filter", "cancel bye"}));
}

TEST_F(EventChannelTest, CancelBeforeListenIsAnError) {
  installRecordingHandler();
  const std::string message = "No active stream to cancel";
  EXPECT_EQ(response(call(kChannel, kCancelMethod)),
            toHex(hex("01 07 05 65 72 72 6F 72 07 1A " + toHex({message.begin(), message.end()}) +
                      " 00")));
  EXPECT_TRUE(log.empty());
}

TEST_F(EventChannelTest, SecondListenCancelsTheFirst) {
  installRecordingHandler();
  EXPECT_EQ(response(call(kChannel, kListenMethod)), "00 00");
  const auto second = call(kChannel, kListenMethod);
  EXPECT_EQ(second.diagnostics, "");
  EXPECT_EQ(response(second), "00 00");
  EXPECT_EQ(log, (std::vector<std::string>{"listen null", "cancel none", "listen null"}));
}

TEST_F(EventChannelTest, FailedCancelOfTheExistingStreamIsReported) {
  installRecordingHandler();
  call(kChannel, kListenMethod);
  cancelErrors.push_back(makeError("busy", "still sending"));
  const auto second = call(kChannel, kListenMethod);
  EXPECT_EQ(second.diagnostics,
            repeatedLine("Failed to cancel existing stream: busy, still sending"));
  EXPECT_EQ(response(second), "00 00");
}

TEST_F(EventChannelTest, HandlerErrorsBecomeErrorEnvelopes) {
  installRecordingHandler();
  const EncodableValue details(EncodableList{EncodableValue(1)});
  listenErrors.push_back(makeError("denied", "not now", &details));
  EXPECT_EQ(response(call(kChannel, kListenMethod)), errorHex("denied", "not now", &details));
  // The failed listen still counts as listening, so cancel reaches the handler.
  cancelErrors.push_back(makeError("odd", ""));
  EXPECT_EQ(response(call(kChannel, kCancelMethod)), errorHex("odd", ""));
  EXPECT_EQ(log, (std::vector<std::string>{"listen null", "cancel null"}));
  EXPECT_EQ(response(call(kChannel, kCancelMethod)),
            errorHex(kChannelErrorCode, kNoActiveStreamMessage));
}

TEST_F(EventChannelTest, OtherMessagesGetAnEmptyReply) {
  installRecordingHandler();
  const auto other = call(kChannel, "pause");
  EXPECT_EQ(other.diagnostics, "");
  EXPECT_EQ(response(other), "");

  const auto undecodable = deliver(kChannel, hex("01"));
  EXPECT_EQ(
      undecodable.diagnostics,
      repeatedLine(kInvalidMethodCallMessage) +
          repeatedLine(std::string("Unable to construct method call from message on channel: ") +
                       kChannel));
  EXPECT_EQ(response(undecodable), "");
  EXPECT_TRUE(log.empty());
}

TEST_F(EventChannelTest, MissingCallablesAnswerWithErrors) {
  channel.SetStreamHandler(std::make_unique<StreamHandlerFunctions>(nullptr, nullptr));
  EXPECT_EQ(response(call(kChannel, kListenMethod)), errorHex("error", "No OnListen handler set"));
  EXPECT_EQ(response(call(kChannel, kCancelMethod)), errorHex("error", "No OnCancel handler set"));
}

TEST_F(EventChannelTest, HandlerOutlivesTheChannelAndCanBeReplacedOrRemoved) {
  {
    EventChannel scoped(&messenger, kChannel, &codec());
    scoped.SetStreamHandler(std::make_unique<StreamHandlerFunctions>(
        [this](const EncodableValue*, std::unique_ptr<EventSink>&& events) {
          log.push_back("scoped listen");
          sink = std::move(events);
          return nullptr;
        },
        nullptr));
  }
  EXPECT_EQ(response(call(kChannel, kListenMethod)), "00 00");
  sink->EndOfStream();
  ASSERT_EQ(engine.sent().size(), 1u);
  EXPECT_EQ(engine.sent()[0].channel, kChannel);

  // A new handler starts with no active stream.
  installRecordingHandler();
  EXPECT_EQ(response(call(kChannel, kCancelMethod)),
            errorHex(kChannelErrorCode, kNoActiveStreamMessage));

  channel.SetStreamHandler(nullptr);
  EXPECT_FALSE(engine.HasHandler(kChannel));
  EXPECT_EQ(log, (std::vector<std::string>{"scoped listen"}));
}

}  // namespace
}  // namespace tidvale
