#pragma once
// The background methods: name → operation, with each method's arguments read from the call.

#include <string>

#include "channels/encodable_value.h"
#include "core/service_state.h"

namespace tidvale {

struct BackgroundReply {
  EncodableValue value;  // the operation's reply map; null when unhandled
  bool handled = false;  // false: no operation has this name (answered NotImplemented)
};

// Background thread, COM initialised. Runs the operation named `method`.
BackgroundReply runBackgroundMethod(ServiceState& state, const std::string& method,
                                    const EncodableMap& args);

}  // namespace tidvale
