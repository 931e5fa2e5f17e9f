#pragma once
// Progress events on the event channel: {"task", "path", "count", "bytes"}.

#include <cstdint>
#include <string>

#include "core/service_state.h"

namespace tidvale {

// Any thread. Throttled process-wide (unforced events closer than 120 ms to the previous one are
// dropped); an admitted event is handed to the platform thread and sent to the listener, if any.
void emitProgress(ServiceState& state, const std::string& task, const std::string& path,
                  uint64_t count, uint64_t bytes, bool force);

}  // namespace tidvale
