#pragma once
// The process-wide progress throttle: at most one unforced event per interval, shared by every
// operation. A forced event always passes and restarts the interval for everyone.

#include <cstdint>
#include <functional>
#include <mutex>

namespace tidvale {

inline constexpr int64_t kProgressIntervalNanoseconds = 120'000'000;

class ProgressThrottle {
 public:
  using Clock = std::function<int64_t()>;  // steady nanoseconds

  explicit ProgressThrottle(Clock clock);

  // Any thread. True when the event may be sent now; records the send time if so.
  // The first event is never throttled.
  bool admit(bool force);

 private:
  Clock clock_;
  std::mutex lock_;
  int64_t lastProgressNanoseconds_ = 0;
  bool anySent_ = false;  // the first event passes whatever the clock reads
};

}  // namespace tidvale
