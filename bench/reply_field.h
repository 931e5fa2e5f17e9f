#pragma once
// Reading a figure out of a method's reply in the benchmarks.

#include <cstdint>
#include <variant>

#include "channels/encodable_value.h"

namespace tidvale::bench {

// The 64-bit integer under `key`, or -1 when the reply has none.
inline int64_t int64Of(const EncodableMap& reply, const char* key) {
  const auto found = reply.find(EncodableValue(key));
  if (found == reply.end()) return -1;
  const int64_t* value = std::get_if<int64_t>(&found->second);
  return value ? *value : -1;
}

}  // namespace tidvale::bench
