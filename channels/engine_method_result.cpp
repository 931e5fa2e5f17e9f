#include "channels/engine_method_result.h"

#include <iostream>
#include <utility>

namespace tidvale {
namespace {

void sendBytes(const BinaryReply& reply, const std::vector<uint8_t>& bytes) {
  reply(bytes.empty() ? nullptr : bytes.data(), bytes.size());
}

}  // namespace

EngineMethodResult::EngineMethodResult(BinaryReply reply, const MethodCodec* codec)
    : reply_(std::move(reply)), codec_(codec) {}

EngineMethodResult::~EngineMethodResult() {
  if (reply_) std::cerr << kUnansweredResultMessage << "\n";
}

void EngineMethodResult::SuccessInternal(const EncodableValue* result) {
  if (BinaryReply reply = TakeReply()) sendBytes(reply, *codec_->EncodeSuccessEnvelope(result));
}

void EngineMethodResult::ErrorInternal(const std::string& code, const std::string& message,
                                       const EncodableValue* details) {
  if (BinaryReply reply = TakeReply()) {
    sendBytes(reply, *codec_->EncodeErrorEnvelope(code, message, details));
  }
}

void EngineMethodResult::NotImplementedInternal() {
  if (BinaryReply reply = TakeReply()) sendBytes(reply, {});
}

BinaryReply EngineMethodResult::TakeReply() {
  if (!reply_) {
    std::cerr << kDuplicateResultMessage << "\n";
    return nullptr;
  }
  // Taken before sending, so the result counts as answered even if the reply re-enters it.
  BinaryReply reply = std::move(reply_);
  reply_ = nullptr;
  return reply;
}

}  // namespace tidvale
