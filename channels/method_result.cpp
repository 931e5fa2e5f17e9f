#include "channels/method_result.h"

#include <utility>

namespace tidvale {

MethodResult::~MethodResult() = default;

MethodResultFunctions::MethodResultFunctions(SuccessHandler onSuccess, ErrorHandler onError,
                                             NotImplementedHandler onNotImplemented)
    : onSuccess_(std::move(onSuccess)),
      onError_(std::move(onError)),
      onNotImplemented_(std::move(onNotImplemented)) {}

MethodResultFunctions::~MethodResultFunctions() = default;

void MethodResultFunctions::SuccessInternal(const EncodableValue* result) {
  if (onSuccess_) onSuccess_(result);
}

void MethodResultFunctions::ErrorInternal(const std::string& code, const std::string& message,
                                          const EncodableValue* details) {
  if (onError_) onError_(code, message, details);
}

void MethodResultFunctions::NotImplementedInternal() {
  if (onNotImplemented_) onNotImplemented_();
}

}  // namespace tidvale
