#pragma once
// Test-only stand-in for the engine library's message transport: the C functions of
// engine/flutter_messenger_api.h over an in-process engine that tests drive by hand.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/flutter_messenger_api.h"

namespace tidvale::test {

using Bytes = std::vector<uint8_t>;

struct SentMessage {
  std::string channel;
  Bytes bytes;
  bool wantsReply = false;
};

// One engine and its messenger, driven from the test's thread (standing in for the platform
// thread). The messenger is reference counted: it outlives the engine while the channel layer
// still holds references, and then reports itself unavailable.
class FakeEngine {
 public:
  FakeEngine();
  // Shuts the engine down and drops its own reference.
  ~FakeEngine();
  FakeEngine(const FakeEngine&) = delete;
  FakeEngine& operator=(const FakeEngine&) = delete;

  FlutterDesktopMessengerRef messenger() const { return messenger_; }

  // Delivers `bytes` on `channel` with a fresh response handle and returns the handle's id. A
  // channel without a handler gets an empty response at once, as the real engine does.
  int Deliver(const std::string& channel, const Bytes& bytes);
  // The response to message `id`, if one was accepted.
  std::optional<Bytes> Response(int id) const;
  // How many responses were offered on `id` (the engine accepts only the first).
  int ResponseAttempts(int id) const;

  const std::vector<SentMessage>& sent() const;
  // Runs the reply callback of the `index`th sent message (sent with a reply); false if there is
  // none waiting.
  bool AnswerSent(size_t index, const Bytes& reply);
  // Reply callbacks handed over and not yet run.
  size_t PendingReplies() const;
  // Makes every send fail from now on.
  void RefuseSends();

  bool HasHandler(const std::string& channel) const;

  // The engine goes away: availability turns false; references held elsewhere stay valid.
  void Shutdown();

  // References on the messenger, the engine's own included (1 when nobody else holds one).
  int references() const;
  // Whether every response offered so far came while the messenger was locked.
  bool responsesWereLocked() const;
  // True while the messenger is locked.
  bool locked() const;

 private:
  FlutterDesktopMessengerRef messenger_;
};

}  // namespace tidvale::test
