#include "channels/method_channel.h"

#include <iostream>
#include <utility>

#include "channels/engine_method_result.h"

namespace tidvale {

MethodChannel::MethodChannel(BinaryMessenger* messenger, std::string name, const MethodCodec* codec)
    : messenger_(messenger), name_(std::move(name)), codec_(codec) {}

void MethodChannel::SetMethodCallHandler(MethodCallHandler handler) const {
  if (!handler) {
    messenger_->SetMessageHandler(name_, nullptr);
    return;
  }
  messenger_->SetMessageHandler(
      name_, [handler = std::move(handler), codec = codec_, name = name_](
                 const uint8_t* message, size_t message_size, BinaryReply reply) {
        auto result = std::make_unique<EngineMethodResult>(std::move(reply), codec);
        std::unique_ptr<MethodCall> call = codec->DecodeMethodCall(message, message_size);
        if (!call) {
          std::cerr << kUndecodableCallMessage << name << "\n";
          result->NotImplemented();
          return;
        }
        handler(*call, std::move(result));
      });
}

void MethodChannel::InvokeMethod(const std::string& method,
                                 std::unique_ptr<EncodableValue> arguments,
                                 std::unique_ptr<MethodResult> result) const {
  MethodCall call(method, std::move(arguments));
  std::unique_ptr<std::vector<uint8_t>> message = codec_->EncodeMethodCall(call);
  if (!result) {
    messenger_->Send(name_, message->data(), message->size());
    return;
  }
  // BinaryReply must be copyable, so the result is shared with the reply callable.
  std::shared_ptr<MethodResult> shared(std::move(result));
  messenger_->Send(
      name_, message->data(), message->size(),
      [shared, codec = codec_, name = name_](const uint8_t* reply, size_t reply_size) {
        if (reply_size == 0) {
          shared->NotImplemented();
        } else if (!codec->DecodeAndProcessResponseEnvelope(reply, reply_size, shared.get())) {
          std::cerr << kUndecodableReplyMessage << name << "\n";
        }
      });
}

}  // namespace tidvale
