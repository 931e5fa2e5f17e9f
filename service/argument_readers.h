#pragma once
// Readers of a call's argument map. A missing map, a missing key or a value of another type
// gives the default; no reader ever fails. Any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "channels/encodable_value.h"

namespace tidvale {

bool argBool(const EncodableMap* args, std::string_view key, bool fallback);
// A 64-bit integer as is, a 32-bit one widened with its sign; anything else (a double too)
// gives the default.
int64_t argInt(const EncodableMap* args, std::string_view key, int64_t fallback);
std::string argString(const EncodableMap* args, std::string_view key, std::string fallback);
// The string elements of a list, in order, other elements skipped; empty when not a list.
std::vector<std::string> argStringList(const EncodableMap* args, std::string_view key);

}  // namespace tidvale
