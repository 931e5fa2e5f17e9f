#pragma once
// Where a stream handler sends the events of its stream.

#include <string>

#include "channels/encodable_value.h"

namespace tidvale {

// Used on the platform thread. Sends are fire-and-forget: nothing tells whether the other side
// got them.
class EventSink {
 public:
  EventSink() = default;
  virtual ~EventSink();
  EventSink(const EventSink&) = delete;
  EventSink& operator=(const EventSink&) = delete;

  void Success(const EncodableValue& event) { SuccessInternal(&event); }
  // An event with no value (null on the wire).
  void Success() { SuccessInternal(nullptr); }
  void Error(const std::string& code, const std::string& message = "",
             const EncodableValue* details = nullptr) {
    ErrorInternal(code, message, details);
  }
  void EndOfStream() { EndOfStreamInternal(); }

 protected:
  // `event` is null for an event without a value.
  virtual void SuccessInternal(const EncodableValue* event) = 0;
  // `details` is null when there are none.
  virtual void ErrorInternal(const std::string& code, const std::string& message,
                             const EncodableValue* details) = 0;
  virtual void EndOfStreamInternal() = 0;
};

}  // namespace tidvale
