// The messenger half of the engine library. Safe from any thread; null references are ignored.

#include <cstring>

#include "engine/engine_objects.h"
#include "engine/line_output.h"

using tidvale::engine::kRunRepliesMessage;
using tidvale::engine::messageLine;
using tidvale::engine::replyLine;
using tidvale::engine::writeLine;

namespace {

uintptr_t tokenOf(const FlutterDesktopMessageResponseHandle* handle) {
  return reinterpret_cast<uintptr_t>(handle);
}

// Writes the outgoing message; false when the engine is gone.
bool writeMessage(FlutterDesktopMessengerRef messenger, const char* channel, const uint8_t* message,
                  size_t size) {
  if (!messenger || !channel || (!message && size != 0)) return false;
  std::lock_guard guard(messenger->engineLock);
  if (!messenger->engine) return false;
  writeLine(messageLine(channel, message, size));
  return true;
}

}  // namespace

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size) {
  return writeMessage(messenger, channel, message, message_size);
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  if (!writeMessage(messenger, channel, message, message_size)) return false;
  if (!reply) return true;
  std::lock_guard guard(messenger->engineLock);
  FlutterDesktopEngine* engine = messenger->engine;
  if (!engine) return true;  // Gone since the write: like any shutdown, the reply never comes.
  std::lock_guard engineGuard(engine->lock);
  engine->pendingReplies.push_back({reply, user_data});
  if (engine->view) ::PostMessageW(engine->view, kRunRepliesMessage, 0, 0);
  return true;
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length) {
  if (!messenger || !handle || (!data && data_length != 0)) return;
  std::lock_guard guard(messenger->engineLock);
  FlutterDesktopEngine* engine = messenger->engine;
  if (!engine) return;
  long long id = 0;
  {
    std::lock_guard engineGuard(engine->lock);
    const auto open = engine->openResponses.find(tokenOf(handle));
    if (open == engine->openResponses.end()) return;  // Already answered: ignored.
    id = open->second;
    engine->openResponses.erase(open);
  }
  writeLine(replyLine(id, data, data_length));
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  if (!messenger || !channel) return;
  std::lock_guard guard(messenger->engineLock);
  FlutterDesktopEngine* engine = messenger->engine;
  if (!engine) return;
  std::lock_guard engineGuard(engine->lock);
  if (callback) {
    engine->handlers[channel] = {callback, user_data};
  } else {
    engine->handlers.erase(std::string(channel));
  }
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  if (messenger) messenger->references.fetch_add(1, std::memory_order_relaxed);
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  if (messenger && messenger->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    delete messenger;
  }
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  if (!messenger) return false;
  std::lock_guard guard(messenger->engineLock);
  return messenger->engine != nullptr;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  if (messenger) messenger->apiLock.lock();
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  if (messenger) messenger->apiLock.unlock();
}

namespace tidvale::engine {

void deliverMessage(FlutterDesktopEngine* engine, const SendCommand& send) {
  FlutterDesktopEngine::Handler handler;
  uintptr_t token = 0;
  {
    std::lock_guard guard(engine->lock);
    const auto found = engine->handlers.find(send.channel);
    if (found != engine->handlers.end()) {
      handler = found->second;
      token = engine->nextResponseToken++;
      engine->openResponses.emplace(token, send.id);
    }
  }
  if (!handler.callback) {
    writeLine(replyLine(send.id, nullptr, 0));
    return;
  }
  const FlutterDesktopMessage message{
      sizeof(FlutterDesktopMessage), send.channel.c_str(), send.data.data(), send.data.size(),
      reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(token)};
  handler.callback(engine->messenger, &message, handler.userData);
}

void runPendingReplies(FlutterDesktopEngine* engine) {
  std::vector<FlutterDesktopEngine::PendingReply> replies;
  {
    std::lock_guard guard(engine->lock);
    replies.swap(engine->pendingReplies);
  }
  for (const auto& pending : replies) pending.reply(nullptr, 0, pending.userData);
}

}  // namespace tidvale::engine
