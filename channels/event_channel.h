#pragma once
// A named stream of events: runs the "listen"/"cancel" protocol and hands the listener a sink
// that sends events on the same channel name.

#include <memory>
#include <string>

#include "channels/binary_messenger.h"
#include "channels/event_sink.h"
#include "channels/method_codec.h"
#include "channels/stream_handler.h"

namespace tidvale {

inline constexpr char kListenMethod[] = "listen";
inline constexpr char kCancelMethod[] = "cancel";
inline constexpr char kNoActiveStreamMessage[] = "No active stream to cancel";
// Written, followed by the channel name, when a message on an event channel is not a call.
inline constexpr char kUndecodableEventCallMessage[] =
    "Unable to construct method call from message on channel: ";
// Written, followed by "<code>, <message>", when cancelling a stream before a new listen fails.
inline constexpr char kCancelExistingFailedMessage[] = "Failed to cancel existing stream: ";

// Platform thread. The channel may be destroyed while its handler stays installed: the installed
// closure keeps the stream handler, the listening state and copies of the rest. `messenger` and
// `codec` must outlive every handler and sink.
class EventChannel {
 public:
  EventChannel(BinaryMessenger* messenger, std::string name, const MethodCodec* codec);

  EventChannel(const EventChannel&) = delete;
  EventChannel& operator=(const EventChannel&) = delete;

  const std::string& name() const { return name_; }

  // Installs `handler`, replacing any earlier one (and its listening state); null removes it.
  void SetStreamHandler(std::unique_ptr<StreamHandler> handler) const;

  // The sink given to the listener: sends each event as an envelope on the channel name, without
  // waiting for a reply.
  class EventSinkImplementation : public EventSink {
   public:
    EventSinkImplementation(const BinaryMessenger* messenger, std::string name,
                            const MethodCodec* codec);

   protected:
    void SuccessInternal(const EncodableValue* event) override;
    void ErrorInternal(const std::string& code, const std::string& message,
                       const EncodableValue* details) override;
    // An empty message.
    void EndOfStreamInternal() override;

   private:
    const BinaryMessenger* messenger_;
    std::string name_;
    const MethodCodec* codec_;
  };

 private:
  BinaryMessenger* messenger_;
  std::string name_;
  const MethodCodec* codec_;
};

}  // namespace tidvale
