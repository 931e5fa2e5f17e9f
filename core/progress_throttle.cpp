#include "core/progress_throttle.h"

#include <utility>

namespace tidvale {

ProgressThrottle::ProgressThrottle(Clock clock) : clock_(std::move(clock)) {}

bool ProgressThrottle::admit(bool force) {
  const int64_t now = clock_();
  std::lock_guard<std::mutex> guard(lock_);
  if (!force && anySent_ && now - lastProgressNanoseconds_ < kProgressIntervalNanoseconds) {
    return false;
  }
  anySent_ = true;
  lastProgressNanoseconds_ = now;
  return true;
}

}  // namespace tidvale
