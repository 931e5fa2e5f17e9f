#pragma once
// The method "scanJunk": the junk catalogue scanned on this machine.

#include "channels/encodable_value.h"
#include "core/service_state.h"

namespace tidvale {

// Background operation thread (COM initialised or not). Resolves the base folders and TEMP,
// scans the catalogue and replies {"categories", "total", "count", "cancelled"}; "junk" progress
// events go through `state`. Honours the cancel flag; never fails.
EncodableMap scanJunk(ServiceState& state);

}  // namespace tidvale
