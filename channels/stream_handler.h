#pragma once
// What an event channel calls when the other side starts and stops listening.

#include <functional>
#include <memory>
#include <string>

#include "channels/encodable_value.h"
#include "channels/event_sink.h"

namespace tidvale {

inline constexpr char kNoListenHandlerMessage[] = "No OnListen handler set";
inline constexpr char kNoCancelHandlerMessage[] = "No OnCancel handler set";
// The error code of the errors made by the channel layer itself.
inline constexpr char kChannelErrorCode[] = "error";

// Why a listen or cancel failed; sent back as an error envelope.
struct StreamHandlerError {
  std::string errorCode;
  std::string errorMessage;
  std::unique_ptr<EncodableValue> errorDetails;  // null when none
};

// Platform thread. Each call returns null on success.
class StreamHandler {
 public:
  StreamHandler() = default;
  virtual ~StreamHandler();
  StreamHandler(const StreamHandler&) = delete;
  StreamHandler& operator=(const StreamHandler&) = delete;

  // `arguments` may be null; the handler owns `events` from now on.
  std::unique_ptr<StreamHandlerError> OnListen(const EncodableValue* arguments,
                                               std::unique_ptr<EventSink>&& events) {
    return OnListenInternal(arguments, std::move(events));
  }
  // `arguments` may be null.
  std::unique_ptr<StreamHandlerError> OnCancel(const EncodableValue* arguments) {
    return OnCancelInternal(arguments);
  }

 protected:
  virtual std::unique_ptr<StreamHandlerError> OnListenInternal(
      const EncodableValue* arguments, std::unique_ptr<EventSink>&& events) = 0;
  virtual std::unique_ptr<StreamHandlerError> OnCancelInternal(const EncodableValue* arguments) = 0;
};

// A stream handler made of two callables. A missing one answers with the error code "error" and
// kNoListenHandlerMessage or kNoCancelHandlerMessage.
class StreamHandlerFunctions : public StreamHandler {
 public:
  using ListenHandler = std::function<std::unique_ptr<StreamHandlerError>(
      const EncodableValue* arguments, std::unique_ptr<EventSink>&& events)>;
  using CancelHandler =
      std::function<std::unique_ptr<StreamHandlerError>(const EncodableValue* arguments)>;

  StreamHandlerFunctions(ListenHandler onListen, CancelHandler onCancel);
  ~StreamHandlerFunctions() override;

 protected:
  std::unique_ptr<StreamHandlerError> OnListenInternal(
      const EncodableValue* arguments, std::unique_ptr<EventSink>&& events) override;
  std::unique_ptr<StreamHandlerError> OnCancelInternal(const EncodableValue* arguments) override;

 private:
  ListenHandler onListen_;
  CancelHandler onCancel_;
};

}  // namespace tidvale
