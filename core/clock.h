#pragma once
#include <cstdint>

namespace tidvale {

// Steady clock in nanoseconds: the high-resolution performance counter on Windows.
int64_t steadyClockNanoseconds();

}  // namespace tidvale
