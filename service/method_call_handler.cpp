#include "service/method_call_handler.h"

#include "service/background_call.h"
#include "service/quick_methods.h"

namespace tidvale {

void handleMethodCall(ServiceState& state, const MethodCall& call,
                      std::unique_ptr<MethodResult> result) {
  if (answerQuickMethod(state, call, *result)) return;
  startBackgroundCall(state, call.methodName(), call.arguments(),
                      std::shared_ptr<MethodResult>(std::move(result)));
}

}  // namespace tidvale
