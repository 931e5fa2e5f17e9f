#include "core/delivery.h"

#include <gtest/gtest.h>

#include <memory>

#include "channels/binary_messenger_impl.h"
#include "channels/event_channel.h"
#include "channels/fake_engine_messenger.h"
#include "channels/method_channel.h"
#include "channels/standard_method_codec.h"
#include "core/dispatcher.h"
#include "core/event_stream.h"
#include "core/progress.h"

namespace tidvale {
namespace {

constexpr char kEvents[] = "tidvale/events";

// Shutting the window down while progress events and a result are queued for the platform
// thread: after delivery is closed and the messenger destroyed, draining sends nothing (under
// AddressSanitizer a send through the freed messenger is a reported use-after-free).
TEST(DeliveryTest, NothingIsSentThroughTheMessengerAfterDeliveryCloses) {
  const MethodCodec& codec = StandardMethodCodec::GetInstance();
  test::FakeEngine engine;
  auto messenger = std::make_unique<BinaryMessengerImpl>(engine.messenger());
  ServiceState state{[] { return int64_t{0}; }};
  EventChannel events(messenger.get(), kEvents, &codec);
  events.SetStreamHandler(makeProgressStreamHandler(state));
  engine.Deliver(kEvents, *codec.EncodeMethodCall(MethodCall("listen", nullptr)));
  ASSERT_NE(state.eventSink, nullptr);

  emitProgress(state, "junk", "C:\\queued", 1, 1, true);
  closeDelivery(state);
  emitProgress(state, "junk", "C:\\late", 2, 2, true);
  messenger.reset();
  engine.Shutdown();
  dispatcher().drain();

  EXPECT_EQ(state.eventSink, nullptr);
  EXPECT_EQ(engine.sent().size(), 0u);
  EXPECT_EQ(dispatcher().pendingCount(), 0u);
}

}  // namespace
}  // namespace tidvale
