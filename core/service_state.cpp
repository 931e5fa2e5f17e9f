#include "core/service_state.h"

#include "channels/event_sink.h"
#include "core/clock.h"

namespace tidvale {

ServiceState::ServiceState() : ServiceState(steadyClockNanoseconds) {}

ServiceState::ServiceState(ProgressThrottle::Clock clock) : progressThrottle(std::move(clock)) {}

ServiceState::~ServiceState() = default;

ServiceState& serviceState() {
  static ServiceState* const state = new ServiceState();  // lives until the process exits
  return *state;
}

}  // namespace tidvale
