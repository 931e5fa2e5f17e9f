#pragma once
// A decoded method call: the method name and its arguments.

#include <memory>
#include <string>
#include <utility>

#include "channels/encodable_value.h"

namespace tidvale {

class MethodCall {
 public:
  // `arguments` may be null for a call without arguments.
  MethodCall(std::string name, std::unique_ptr<EncodableValue> arguments)
      : name_(std::move(name)), arguments_(std::move(arguments)) {}

  MethodCall(const MethodCall&) = delete;
  MethodCall& operator=(const MethodCall&) = delete;

  const std::string& methodName() const { return name_; }
  // Null when the call was built without arguments. A decoded call always has arguments, a null
  // value when the caller sent none.
  const EncodableValue* arguments() const { return arguments_.get(); }

 private:
  std::string name_;
  std::unique_ptr<EncodableValue> arguments_;
};

}  // namespace tidvale
