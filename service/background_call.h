#pragma once
// Background calls: every method that is not answered at once runs on a detached thread of its
// own and hands its reply back to the platform thread.

#include <memory>
#include <string>

#include "channels/encodable_value.h"
#include "channels/method_result.h"
#include "core/service_state.h"

namespace tidvale {

struct BackgroundCall {
  ServiceState* state = nullptr;
  std::string method;
  EncodableMap args;
  std::shared_ptr<MethodResult> result;
};

// Platform thread. Clears the cancel flag unless the method keeps it, then starts and detaches
// the thread. If no thread can be started, the call is answered at once with the error
// "threadUnavailable" rather than never.
void startBackgroundCall(ServiceState& state, const std::string& method,
                         const EncodableValue* arguments, std::shared_ptr<MethodResult> result);

// The body of each background thread: COM for the thread's lifetime, the operation, and the
// hand-over of its reply. An exception escaping an operation is answered with the error
// "internal" instead of ending the process.
void runBackgroundCall(std::unique_ptr<BackgroundCall> call);

}  // namespace tidvale
