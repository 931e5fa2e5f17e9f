#pragma once
// Reading the storage scans' replies in tests: each accessor fails the test when the key is
// missing or holds another type (an int32 where an int64 belongs, say) and returns a neutral
// value then.

#include <cstdint>
#include <string>
#include <string_view>

#include "channels/encodable_value.h"

namespace tidvale::testing {

int64_t int64At(const EncodableMap& map, const char* key);
bool boolAt(const EncodableMap& map, const char* key);
std::string stringAt(const EncodableMap& map, const char* key);
const EncodableList& listAt(const EncodableMap& map, const char* key);
const EncodableMap& mapOf(const EncodableValue& value);

// UTF-16 to UTF-8 for test paths, which are ASCII: anything else fails the test.
std::string asciiUtf8(std::wstring_view text);

}  // namespace tidvale::testing
