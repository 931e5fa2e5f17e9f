#pragma once
// The one-shot answer to a method call.

#include <functional>
#include <string>

#include "channels/encodable_value.h"

namespace tidvale {

// Exactly one of Success, Error or NotImplemented should be called, once; what a second call does
// is up to the implementation. Implementations in this program are used on the platform thread.
class MethodResult {
 public:
  MethodResult() = default;
  virtual ~MethodResult();
  MethodResult(const MethodResult&) = delete;
  MethodResult& operator=(const MethodResult&) = delete;

  void Success(const EncodableValue& result) { SuccessInternal(&result); }
  // Success with no value (null on the wire).
  void Success() { SuccessInternal(nullptr); }
  void Error(const std::string& code, const std::string& message = "",
             const EncodableValue* details = nullptr) {
    ErrorInternal(code, message, details);
  }
  void NotImplemented() { NotImplementedInternal(); }

 protected:
  // `result` is null for Success without a value.
  virtual void SuccessInternal(const EncodableValue* result) = 0;
  // `details` is null when there are none.
  virtual void ErrorInternal(const std::string& code, const std::string& message,
                             const EncodableValue* details) = 0;
  virtual void NotImplementedInternal() = 0;
};

// A MethodResult made of three callables; a missing one ignores its answer. Useful for replies to
// outgoing calls and in tests.
class MethodResultFunctions : public MethodResult {
 public:
  using SuccessHandler = std::function<void(const EncodableValue* result)>;
  using ErrorHandler = std::function<void(const std::string& code, const std::string& message,
                                          const EncodableValue* details)>;
  using NotImplementedHandler = std::function<void()>;

  MethodResultFunctions(SuccessHandler onSuccess, ErrorHandler onError,
                        NotImplementedHandler onNotImplemented);
  ~MethodResultFunctions() override;

 protected:
  void SuccessInternal(const EncodableValue* result) override;
  void ErrorInternal(const std::string& code, const std::string& message,
                     const EncodableValue* details) override;
  void NotImplementedInternal() override;

 private:
  SuccessHandler onSuccess_;
  ErrorHandler onError_;
  NotImplementedHandler onNotImplemented_;
};

}  // namespace tidvale
