#include "core/progress.h"

#include <gtest/gtest.h>

#include "core/dispatcher.h"
#include "core/event_stream.h"
#include "core/recording_channels_test_support.h"

namespace tidvale {
namespace {

using testing::RecordingEventSink;

EncodableValue event(const char* task, const char* path, int64_t count, int64_t bytes) {
  return EncodableValue(EncodableMap{{EncodableValue("task"), EncodableValue(task)},
                                     {EncodableValue("path"), EncodableValue(path)},
                                     {EncodableValue("count"), EncodableValue(count)},
                                     {EncodableValue("bytes"), EncodableValue(bytes)}});
}

class ProgressTest : public ::testing::Test {
 protected:
  void SetUp() override { dispatcher().drain(); }
  void TearDown() override { dispatcher().drain(); }
  int64_t now = 1'000'000'000;
  ServiceState state{[this] { return now; }};
  std::vector<EncodableValue> events;
};

TEST_F(ProgressTest, EventsReachTheListenerOnlyWhenTheQueueIsDrained) {
  state.eventSink = std::make_unique<RecordingEventSink>(&events);
  emitProgress(state, "junk", "C:\\a", 1, 10, false);
  EXPECT_TRUE(events.empty());
  dispatcher().drain();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], event("junk", "C:\\a", 1, 10));
}

TEST_F(ProgressTest, ThrottledEventsAreDroppedAndForcedOnesAlwaysSent) {
  state.eventSink = std::make_unique<RecordingEventSink>(&events);
  emitProgress(state, "junk", "a", 1, 1, false);
  now += 50'000'000;
  emitProgress(state, "junk", "b", 2, 2, false);  // dropped
  now += 50'000'000;
  emitProgress(state, "junk", "", 2, 2, true);
  now += 30'000'000;  // 130 ms after the first event, 30 ms after the forced one
  emitProgress(state, "junk", "c", 3, 3, false);  // dropped: the forced event restarted the window
  dispatcher().drain();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1], event("junk", "", 2, 2));
}

TEST_F(ProgressTest, CountsAboveInt64MaxAreSentAsTheSignedValue) {
  state.eventSink = std::make_unique<RecordingEventSink>(&events);
  emitProgress(state, "delete", "", ~uint64_t{0}, 0, true);
  dispatcher().drain();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], event("delete", "", -1, 0));
}

TEST_F(ProgressTest, EventsWithoutListenerAreDiscardedAndLaterOnesDelivered) {
  auto handler = makeProgressStreamHandler(state);
  emitProgress(state, "junk", "early", 1, 1, true);
  dispatcher().drain();  // nobody listens: discarded

  std::vector<EncodableValue> first;
  EXPECT_EQ(handler->OnListen(nullptr, std::make_unique<RecordingEventSink>(&first)), nullptr);
  EXPECT_EQ(handler->OnListen(nullptr, std::make_unique<RecordingEventSink>(&events)), nullptr);
  emitProgress(state, "junk", "late", 2, 2, true);
  dispatcher().drain();
  EXPECT_TRUE(first.empty());  // the second listener replaced the first
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], event("junk", "late", 2, 2));

  EXPECT_EQ(handler->OnCancel(nullptr), nullptr);
  EXPECT_EQ(state.eventSink, nullptr);
  emitProgress(state, "junk", "after", 3, 3, true);
  dispatcher().drain();
  EXPECT_EQ(events.size(), 1u);
  EXPECT_FALSE(state.cancelled());  // the stream's cancel never touches the cancel flag
}

}  // namespace
}  // namespace tidvale
