#pragma once
// The messenger over the engine library's message transport.

#include <map>
#include <string>

#include "channels/binary_messenger.h"
#include "engine/flutter_messenger_api.h"

namespace tidvale {

inline constexpr char kDuplicateResponseMessage[] =
    "Error: Response can be set only once. Ignoring duplicate response.";

// Platform thread (the engine delivers messages there). Keeps every installed handler alive until
// it is replaced or removed. A reply takes a reference on the engine messenger and, under the
// messenger's lock, is dropped once the engine has gone, so late answers are safe.
class BinaryMessengerImpl : public BinaryMessenger {
 public:
  // Holds a reference on `messenger` for the object's lifetime.
  explicit BinaryMessengerImpl(FlutterDesktopMessengerRef messenger);
  // Unregisters the handlers still installed (while the engine is there), so the engine never
  // calls into a destroyed object.
  ~BinaryMessengerImpl() override;

  BinaryMessengerImpl(const BinaryMessengerImpl&) = delete;
  BinaryMessengerImpl& operator=(const BinaryMessengerImpl&) = delete;

  void Send(const std::string& channel, const uint8_t* message, size_t message_size,
            BinaryReply reply = nullptr) const override;
  void SetMessageHandler(const std::string& channel, BinaryMessageHandler handler) override;

 private:
  FlutterDesktopMessengerRef messenger_;
  // std::map: the engine holds a pointer to each stored handler, so nodes must not move.
  std::map<std::string, BinaryMessageHandler> handlers_;
};

}  // namespace tidvale
