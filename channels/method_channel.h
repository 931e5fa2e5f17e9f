#pragma once
// A named channel of method calls: decodes each message into a call for the handler, and sends
// calls of its own.

#include <functional>
#include <memory>
#include <string>

#include "channels/binary_messenger.h"
#include "channels/method_call.h"
#include "channels/method_codec.h"
#include "channels/method_result.h"

namespace tidvale {

// Written, followed by the channel name, when a message on a method channel is not a call.
inline constexpr char kUndecodableCallMessage[] =
    "Unable to construct method call from message on channel ";
// Written, followed by the channel name, when the answer to an outgoing call is malformed.
inline constexpr char kUndecodableReplyMessage[] =
    "Unable to decode reply to method call on channel ";

// Platform thread. The channel may be destroyed while its handler stays installed: the installed
// closure keeps copies of what it needs. `messenger` and `codec` must outlive every handler.
class MethodChannel {
 public:
  // Called with each decoded call and the result that answers it; the handler owns the result
  // and may answer later, on the platform thread.
  using MethodCallHandler =
      std::function<void(const MethodCall& call, std::unique_ptr<MethodResult> result)>;

  MethodChannel(BinaryMessenger* messenger, std::string name, const MethodCodec* codec);

  MethodChannel(const MethodChannel&) = delete;
  MethodChannel& operator=(const MethodChannel&) = delete;

  const std::string& name() const { return name_; }

  // Installs `handler`, replacing any earlier one; an empty handler removes it. A message that
  // is not a call is answered NotImplemented (an empty reply) after a diagnostic line.
  void SetMethodCallHandler(MethodCallHandler handler) const;

  // Calls `method` on the other side. `result`, when given, gets the answer: NotImplemented for
  // an empty reply; nothing (after a diagnostic line) for a malformed one.
  void InvokeMethod(const std::string& method, std::unique_ptr<EncodableValue> arguments,
                    std::unique_ptr<MethodResult> result = nullptr) const;

 private:
  BinaryMessenger* messenger_;
  std::string name_;
  const MethodCodec* codec_;
};

}  // namespace tidvale
