#include "channels/event_channel.h"

#include <iostream>
#include <utility>
#include <vector>

namespace tidvale {
namespace {

// What the installed message handler shares across its copies.
struct StreamState {
  std::unique_ptr<StreamHandler> handler;
  bool listening = false;
};

void sendReply(const BinaryReply& reply, const std::vector<uint8_t>& bytes) {
  reply(bytes.empty() ? nullptr : bytes.data(), bytes.size());
}

std::unique_ptr<std::vector<uint8_t>> encodeOutcome(const MethodCodec& codec,
                                                    const StreamHandlerError* error) {
  if (error == nullptr) return codec.EncodeSuccessEnvelope();
  return codec.EncodeErrorEnvelope(error->errorCode, error->errorMessage,
                                   error->errorDetails.get());
}

}  // namespace

EventChannel::EventChannel(BinaryMessenger* messenger, std::string name, const MethodCodec* codec)
    : messenger_(messenger), name_(std::move(name)), codec_(codec) {}

void EventChannel::SetStreamHandler(std::unique_ptr<StreamHandler> handler) const {
  if (!handler) {
    messenger_->SetMessageHandler(name_, nullptr);
    return;
  }
  // Shared rather than captured by value: the messenger may copy the closure.
  auto state = std::make_shared<StreamState>();
  state->handler = std::move(handler);
  messenger_->SetMessageHandler(name_, [state, messenger = messenger_, codec = codec_,
                                        name = name_](const uint8_t* message, size_t message_size,
                                                      BinaryReply reply) {
    std::unique_ptr<MethodCall> call = codec->DecodeMethodCall(message, message_size);
    if (!call) {
      std::cerr << kUndecodableEventCallMessage << name << "\n";
      reply(nullptr, 0);
      return;
    }
    const std::string& method = call->methodName();
    if (method == kListenMethod) {
      if (state->listening) {
        std::unique_ptr<StreamHandlerError> error = state->handler->OnCancel(nullptr);
        if (error) {
          std::cerr << kCancelExistingFailedMessage << error->errorCode << ", "
                    << error->errorMessage << "\n";
        }
      }
      // Stays set even when the listen fails, so a later "cancel" reaches the handler.
      state->listening = true;
      std::unique_ptr<StreamHandlerError> error = state->handler->OnListen(
          call->arguments(), std::make_unique<EventSinkImplementation>(messenger, name, codec));
      sendReply(reply, *encodeOutcome(*codec, error.get()));
    } else if (method == kCancelMethod) {
      if (!state->listening) {
        sendReply(reply, *codec->EncodeErrorEnvelope(kChannelErrorCode, kNoActiveStreamMessage));
        return;
      }
      std::unique_ptr<StreamHandlerError> error = state->handler->OnCancel(call->arguments());
      sendReply(reply, *encodeOutcome(*codec, error.get()));
      state->listening = false;
    } else {
      reply(nullptr, 0);
    }
  });
}

EventChannel::EventSinkImplementation::EventSinkImplementation(const BinaryMessenger* messenger,
                                                               std::string name,
                                                               const MethodCodec* codec)
    : messenger_(messenger), name_(std::move(name)), codec_(codec) {}

void EventChannel::EventSinkImplementation::SuccessInternal(const EncodableValue* event) {
  std::unique_ptr<std::vector<uint8_t>> bytes = codec_->EncodeSuccessEnvelope(event);
  messenger_->Send(name_, bytes->data(), bytes->size());
}

void EventChannel::EventSinkImplementation::ErrorInternal(const std::string& code,
                                                          const std::string& message,
                                                          const EncodableValue* details) {
  std::unique_ptr<std::vector<uint8_t>> bytes = codec_->EncodeErrorEnvelope(code, message, details);
  messenger_->Send(name_, bytes->data(), bytes->size());
}

void EventChannel::EventSinkImplementation::EndOfStreamInternal() {
  messenger_->Send(name_, nullptr, 0);
}

}  // namespace tidvale
