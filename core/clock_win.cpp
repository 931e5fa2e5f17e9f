#include <windows.h>

#include "core/clock.h"

namespace tidvale {

int64_t steadyClockNanoseconds() {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER counter{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  if (frequency.QuadPart <= 0) return 0;
  // Split to keep counter * 1e9 from overflowing.
  const int64_t seconds = counter.QuadPart / frequency.QuadPart;
  const int64_t remainder = counter.QuadPart % frequency.QuadPart;
  return seconds * 1'000'000'000 + remainder * 1'000'000'000 / frequency.QuadPart;
}

}  // namespace tidvale
