#include <chrono>

#include "core/clock.h"

namespace tidvale {

int64_t steadyClockNanoseconds() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace tidvale
