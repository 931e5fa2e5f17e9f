#include "channels/binary_messenger_impl.h"

#include <iostream>
#include <memory>
#include <utility>

namespace tidvale {
namespace {

// One incoming message's right to respond, shared by every copy of its reply callable. The last
// copy to go releases the reference on the engine messenger.
class ResponseSlot {
 public:
  ResponseSlot(FlutterDesktopMessengerRef messenger,
               const FlutterDesktopMessageResponseHandle* handle)
      : messenger_(FlutterDesktopMessengerAddRef(messenger)), handle_(handle) {}
  ~ResponseSlot() { FlutterDesktopMessengerRelease(messenger_); }
  ResponseSlot(const ResponseSlot&) = delete;
  ResponseSlot& operator=(const ResponseSlot&) = delete;

  void Respond(const uint8_t* data, size_t size) {
    // Locked so that the availability test and the response cannot race engine shutdown.
    FlutterDesktopMessengerLock(messenger_);
    if (FlutterDesktopMessengerIsAvailable(messenger_)) {
      if (handle_ != nullptr) {
        FlutterDesktopMessengerSendResponse(messenger_, handle_, data, size);
        handle_ = nullptr;
      } else {
        std::cerr << kDuplicateResponseMessage << "\n";
      }
    }
    FlutterDesktopMessengerUnlock(messenger_);
  }

 private:
  FlutterDesktopMessengerRef messenger_;
  const FlutterDesktopMessageResponseHandle* handle_;  // null once used
};

void receiveMessage(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
                    void* user_data) {
  // A copy, so that the handler may replace or remove itself while it runs.
  BinaryMessageHandler handler = *static_cast<const BinaryMessageHandler*>(user_data);
  auto slot = std::make_shared<ResponseSlot>(messenger, message->response_handle);
  BinaryReply reply = [slot](const uint8_t* data, size_t size) { slot->Respond(data, size); };
  handler(message->message, message->message_size, std::move(reply));
}

void receiveReply(const uint8_t* data, size_t data_size, void* user_data) {
  std::unique_ptr<BinaryReply> reply(static_cast<BinaryReply*>(user_data));
  (*reply)(data_size == 0 ? nullptr : data, data_size);
}

}  // namespace

BinaryMessengerImpl::BinaryMessengerImpl(FlutterDesktopMessengerRef messenger)
    : messenger_(FlutterDesktopMessengerAddRef(messenger)) {}

BinaryMessengerImpl::~BinaryMessengerImpl() {
  if (FlutterDesktopMessengerIsAvailable(messenger_)) {
    for (const auto& entry : handlers_) {
      FlutterDesktopMessengerSetCallback(messenger_, entry.first.c_str(), nullptr, nullptr);
    }
  }
  FlutterDesktopMessengerRelease(messenger_);
}

void BinaryMessengerImpl::Send(const std::string& channel, const uint8_t* message,
                               size_t message_size, BinaryReply reply) const {
  if (!reply) {
    FlutterDesktopMessengerSend(messenger_, channel.c_str(), message, message_size);
    return;
  }
  auto heapReply = std::make_unique<BinaryReply>(std::move(reply));
  if (FlutterDesktopMessengerSendWithReply(messenger_, channel.c_str(), message, message_size,
                                           &receiveReply, heapReply.get())) {
    // Owned by the engine until receiveReply runs.
    heapReply.release();
  }
}

void BinaryMessengerImpl::SetMessageHandler(const std::string& channel,
                                            BinaryMessageHandler handler) {
  if (!handler) {
    FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), nullptr, nullptr);
    handlers_.erase(channel);
    return;
  }
  BinaryMessageHandler& stored = handlers_[channel];
  stored = std::move(handler);
  FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), &receiveMessage, &stored);
}

}  // namespace tidvale
