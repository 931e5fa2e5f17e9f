#include "channels/binary_messenger_impl.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "channels/fake_engine_messenger.h"
#include "channels/test_support.h"

namespace tidvale {
namespace {

using test::Bytes;
using test::FakeEngine;
using test::repeatedLine;
using test::stderrOf;

constexpr char kChannel[] = "test/channel";

class BinaryMessengerImplTest : public testing::Test {
 protected:
  // Installs a handler that keeps each message and its reply.
  void keepMessages() {
    messenger.SetMessageHandler(
        kChannel, [this](const uint8_t* message, size_t size, BinaryReply reply) {
          received.push_back(size == 0 ? Bytes() : Bytes(message, message + size));
          replies.push_back(std::move(reply));
        });
  }

  FakeEngine engine;
  BinaryMessengerImpl messenger{engine.messenger()};
  std::vector<Bytes> received;
  std::vector<BinaryReply> replies;
};

TEST_F(BinaryMessengerImplTest, DeliversMessagesAndSendsOneResponseUnderTheLock) {
  keepMessages();
  const int id = engine.Deliver(kChannel, {1, 2, 3});
  ASSERT_EQ(received, (std::vector<Bytes>{{1, 2, 3}}));
  EXPECT_FALSE(engine.Response(id).has_value());

  const uint8_t answer[] = {9, 8};
  EXPECT_EQ(stderrOf([&] { replies[0](answer, sizeof answer); }), "");
  EXPECT_EQ(engine.Response(id), (Bytes{9, 8}));
  EXPECT_TRUE(engine.responsesWereLocked());
  EXPECT_FALSE(engine.locked());

  // A second response on the same message is refused by the layer itself.
  EXPECT_EQ(stderrOf([&] { replies[0](answer, 1); }), repeatedLine(kDuplicateResponseMessage));
  EXPECT_EQ(engine.ResponseAttempts(id), 1);
  EXPECT_FALSE(engine.locked());
}

TEST_F(BinaryMessengerImplTest, ReplyHoldsOneReferenceWhileAnyCopyLives) {
  EXPECT_EQ(engine.references(), 2);  // the engine's own and the messenger's
  keepMessages();
  engine.Deliver(kChannel, {});
  BinaryReply copy = replies[0];
  EXPECT_EQ(engine.references(), 3);
  replies.clear();
  EXPECT_EQ(engine.references(), 3);
  copy = nullptr;
  EXPECT_EQ(engine.references(), 2);
}

TEST_F(BinaryMessengerImplTest, ResponseAfterTheEngineHasGoneIsDropped) {
  keepMessages();
  const int id = engine.Deliver(kChannel, {1});
  engine.Shutdown();
  const uint8_t answer[] = {7};
  EXPECT_EQ(stderrOf([&] { replies[0](answer, 1); }), "");
  EXPECT_EQ(engine.ResponseAttempts(id), 0);
  EXPECT_FALSE(engine.locked());
}

TEST_F(BinaryMessengerImplTest, SendsWithAndWithoutReply) {
  const uint8_t message[] = {4, 5};
  messenger.Send("out", message, sizeof message);
  std::vector<std::optional<Bytes>> answers;
  messenger.Send("out", message, 1, [&](const uint8_t* reply, size_t size) {
    answers.push_back(size == 0 ? Bytes() : Bytes(reply, reply + size));
    EXPECT_EQ(reply == nullptr, size == 0);
  });
  messenger.Send("out", nullptr, 0, [&](const uint8_t* reply, size_t size) {
    answers.push_back(size == 0 ? Bytes() : Bytes(reply, reply + size));
    EXPECT_EQ(reply == nullptr, size == 0);
  });

  ASSERT_EQ(engine.sent().size(), 3u);
  EXPECT_EQ(engine.sent()[0].channel, "out");
  EXPECT_EQ(engine.sent()[0].bytes, (Bytes{4, 5}));
  EXPECT_FALSE(engine.sent()[0].wantsReply);
  EXPECT_EQ(engine.sent()[1].bytes, (Bytes{4}));
  EXPECT_TRUE(engine.sent()[1].wantsReply);
  EXPECT_EQ(engine.sent()[2].bytes, Bytes());

  EXPECT_TRUE(engine.AnswerSent(1, {6}));
  EXPECT_TRUE(engine.AnswerSent(2, {}));
  EXPECT_EQ(answers, (std::vector<std::optional<Bytes>>{Bytes{6}, Bytes()}));
  EXPECT_EQ(engine.PendingReplies(), 0u);
}

TEST_F(BinaryMessengerImplTest, RefusedSendFreesTheReplyAtOnce) {
  engine.RefuseSends();
  auto probe = std::make_shared<int>(0);
  const uint8_t message[] = {1};
  messenger.Send("out", message, 1, [probe](const uint8_t*, size_t) { ++*probe; });
  EXPECT_EQ(probe.use_count(), 1);
  EXPECT_EQ(*probe, 0);
  EXPECT_EQ(engine.PendingReplies(), 0u);
}

TEST_F(BinaryMessengerImplTest, ReplacingAndRemovingHandlers) {
  std::vector<std::string> calls;
  messenger.SetMessageHandler(kChannel, [&](const uint8_t*, size_t, BinaryReply reply) {
    calls.push_back("first");
    reply(nullptr, 0);
  });
  messenger.SetMessageHandler(kChannel, [&](const uint8_t*, size_t, BinaryReply reply) {
    calls.push_back("second");
    reply(nullptr, 0);
  });
  engine.Deliver(kChannel, {1});
  EXPECT_EQ(calls, (std::vector<std::string>{"second"}));

  messenger.SetMessageHandler(kChannel, nullptr);
  EXPECT_FALSE(engine.HasHandler(kChannel));
  const int id = engine.Deliver(kChannel, {1});
  EXPECT_EQ(engine.Response(id), Bytes());  // the engine's own empty answer
  EXPECT_EQ(calls.size(), 1u);
}

TEST_F(BinaryMessengerImplTest, HandlerMayRemoveItselfWhileRunning) {
  auto captured = std::make_shared<std::string>("still alive");
  bool finished = false;
  messenger.SetMessageHandler(kChannel, [&, captured](const uint8_t*, size_t, BinaryReply reply) {
    messenger.SetMessageHandler(kChannel, nullptr);
    // The closure's captures must still be valid here.
    finished = *captured == "still alive";
    reply(nullptr, 0);
  });
  engine.Deliver(kChannel, {1});
  EXPECT_TRUE(finished);
  EXPECT_FALSE(engine.HasHandler(kChannel));
}

TEST_F(BinaryMessengerImplTest, DestructionUnregistersAndReleases) {
  {
    BinaryMessengerImpl scoped(engine.messenger());
    scoped.SetMessageHandler("scoped", [](const uint8_t*, size_t, BinaryReply) {});
    EXPECT_TRUE(engine.HasHandler("scoped"));
    EXPECT_EQ(engine.references(), 3);
  }
  EXPECT_FALSE(engine.HasHandler("scoped"));
  EXPECT_EQ(engine.references(), 2);
}

}  // namespace
}  // namespace tidvale
