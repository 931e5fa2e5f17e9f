#pragma once
// Raw byte messages by channel name, with one reply per message.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tidvale {

// Answers one incoming message, or receives the answer to an outgoing one. `reply` is null when
// `reply_size` is 0 (an empty reply).
using BinaryReply = std::function<void(const uint8_t* reply, size_t reply_size)>;

// Handles one incoming message; `reply` may be called later, at most once.
using BinaryMessageHandler =
    std::function<void(const uint8_t* message, size_t message_size, BinaryReply reply)>;

// Used on the platform thread only.
class BinaryMessenger {
 public:
  virtual ~BinaryMessenger();

  // Sends `message` on `channel`; `reply`, when given, runs once with the answer. A send the
  // transport refuses is dropped.
  virtual void Send(const std::string& channel, const uint8_t* message, size_t message_size,
                    BinaryReply reply = nullptr) const = 0;

  // Installs the handler of `channel`, replacing any earlier one; an empty handler removes it.
  virtual void SetMessageHandler(const std::string& channel, BinaryMessageHandler handler) = 0;
};

}  // namespace tidvale
