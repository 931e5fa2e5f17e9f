#pragma once
// The method "sizeOf": the size of one path.

#include <string>

#include "channels/encodable_value.h"
#include "core/service_state.h"

namespace tidvale {

// Background operation thread. {"size": bytes of the file or folder at `path`}, 0 for a missing,
// unreadable or link path; stops early (partial size) when the cancel flag is set. Sends no
// progress events and never fails.
EncodableMap sizeOf(ServiceState& state, const std::wstring& path);

}  // namespace tidvale
