#include "channels/stream_handler.h"

#include <utility>

namespace tidvale {

EventSink::~EventSink() = default;

StreamHandler::~StreamHandler() = default;

StreamHandlerFunctions::StreamHandlerFunctions(ListenHandler onListen, CancelHandler onCancel)
    : onListen_(std::move(onListen)), onCancel_(std::move(onCancel)) {}

StreamHandlerFunctions::~StreamHandlerFunctions() = default;

std::unique_ptr<StreamHandlerError> StreamHandlerFunctions::OnListenInternal(
    const EncodableValue* arguments, std::unique_ptr<EventSink>&& events) {
  if (!onListen_) {
    return std::make_unique<StreamHandlerError>(
        StreamHandlerError{kChannelErrorCode, kNoListenHandlerMessage, nullptr});
  }
  return onListen_(arguments, std::move(events));
}

std::unique_ptr<StreamHandlerError> StreamHandlerFunctions::OnCancelInternal(
    const EncodableValue* arguments) {
  if (!onCancel_) {
    return std::make_unique<StreamHandlerError>(
        StreamHandlerError{kChannelErrorCode, kNoCancelHandlerMessage, nullptr});
  }
  return onCancel_(arguments);
}

}  // namespace tidvale
