#pragma once
// The stream handler of the event channel: a listener's sink is held in the service state until
// it cancels or a new listener replaces it. Platform thread.

#include <memory>

#include "channels/stream_handler.h"
#include "core/service_state.h"

namespace tidvale {

std::unique_ptr<StreamHandler> makeProgressStreamHandler(ServiceState& state);

}  // namespace tidvale
