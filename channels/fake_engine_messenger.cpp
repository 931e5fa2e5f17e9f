#include "channels/fake_engine_messenger.h"

#include <map>
#include <memory>

struct FlutterDesktopMessageResponseHandle {
  int id;
};

struct FlutterDesktopMessenger {
  struct Handler {
    FlutterDesktopMessageCallback callback;
    void* userData;
  };
  struct PendingReply {
    FlutterDesktopBinaryReply callback;
    void* userData;
  };

  int references = 1;
  bool available = true;
  bool locked = false;
  bool refuseSends = false;
  bool responsesWereLocked = true;
  int nextId = 1;
  std::map<std::string, Handler> handlers;
  std::map<size_t, PendingReply> pendingReplies;  // by index into `sent`
  std::vector<tidvale::test::SentMessage> sent;
  std::map<int, std::unique_ptr<FlutterDesktopMessageResponseHandle>> handles;
  std::map<int, tidvale::test::Bytes> responses;
  std::map<int, int> responseAttempts;
};

namespace {

bool recordSend(FlutterDesktopMessengerRef messenger, const char* channel, const uint8_t* message,
                size_t message_size, bool wantsReply) {
  if (messenger->refuseSends || !messenger->available) return false;
  tidvale::test::Bytes bytes;
  if (message_size > 0) bytes.assign(message, message + message_size);
  messenger->sent.push_back({channel, std::move(bytes), wantsReply});
  return true;
}

}  // namespace

extern "C" {

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size) {
  return recordSend(messenger, channel, message, message_size, false);
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  if (!recordSend(messenger, channel, message, message_size, true)) return false;
  messenger->pendingReplies[messenger->sent.size() - 1] = {reply, user_data};
  return true;
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length) {
  if (!messenger->locked) messenger->responsesWereLocked = false;
  ++messenger->responseAttempts[handle->id];
  // One response per handle: later ones are ignored.
  if (messenger->responses.count(handle->id) != 0) return;
  tidvale::test::Bytes bytes;
  if (data_length > 0) bytes.assign(data, data + data_length);
  messenger->responses[handle->id] = std::move(bytes);
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  if (callback == nullptr) {
    messenger->handlers.erase(channel);
  } else {
    messenger->handlers[channel] = {callback, user_data};
  }
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  ++messenger->references;
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  if (--messenger->references == 0) delete messenger;
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  return messenger->available;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  messenger->locked = true;
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  messenger->locked = false;
}

}  // extern "C"

namespace tidvale::test {

FakeEngine::FakeEngine() : messenger_(new FlutterDesktopMessenger()) {}

FakeEngine::~FakeEngine() {
  Shutdown();
  FlutterDesktopMessengerRelease(messenger_);
}

int FakeEngine::Deliver(const std::string& channel, const Bytes& bytes) {
  const int id = messenger_->nextId++;
  auto& handle = messenger_->handles[id];
  handle = std::make_unique<FlutterDesktopMessageResponseHandle>(
      FlutterDesktopMessageResponseHandle{id});
  auto found = messenger_->handlers.find(channel);
  if (found == messenger_->handlers.end()) {
    messenger_->responses[id] = Bytes();
    return id;
  }
  const FlutterDesktopMessage message{sizeof(FlutterDesktopMessage), channel.c_str(),
                                      bytes.empty() ? nullptr : bytes.data(), bytes.size(),
                                      handle.get()};
  found->second.callback(messenger_, &message, found->second.userData);
  return id;
}

std::optional<Bytes> FakeEngine::Response(int id) const {
  auto found = messenger_->responses.find(id);
  if (found == messenger_->responses.end()) return std::nullopt;
  return found->second;
}

int FakeEngine::ResponseAttempts(int id) const {
  auto found = messenger_->responseAttempts.find(id);
  return found == messenger_->responseAttempts.end() ? 0 : found->second;
}

const std::vector<SentMessage>& FakeEngine::sent() const {
  return messenger_->sent;
}

bool FakeEngine::AnswerSent(size_t index, const Bytes& reply) {
  auto found = messenger_->pendingReplies.find(index);
  if (found == messenger_->pendingReplies.end()) return false;
  const FlutterDesktopMessenger::PendingReply pending = found->second;
  messenger_->pendingReplies.erase(found);
  pending.callback(reply.empty() ? nullptr : reply.data(), reply.size(), pending.userData);
  return true;
}

size_t FakeEngine::PendingReplies() const {
  return messenger_->pendingReplies.size();
}

void FakeEngine::RefuseSends() {
  messenger_->refuseSends = true;
}

bool FakeEngine::HasHandler(const std::string& channel) const {
  return messenger_->handlers.count(channel) != 0;
}

void FakeEngine::Shutdown() {
  messenger_->available = false;
  messenger_->handlers.clear();
}

int FakeEngine::references() const {
  return messenger_->references;
}

bool FakeEngine::responsesWereLocked() const {
  return messenger_->responsesWereLocked;
}

bool FakeEngine::locked() const {
  return messenger_->locked;
}

}  // namespace tidvale::test
