#pragma once
// The process-wide state of the native service: the event sink, the cancel flag and the
// progress throttle. Operations receive it by reference.

#include <atomic>
#include <memory>

#include "core/progress_throttle.h"

namespace tidvale {

class EventSink;

struct ServiceState {
  ServiceState();
  explicit ServiceState(ProgressThrottle::Clock clock);
  ~ServiceState();
  ServiceState(const ServiceState&) = delete;
  ServiceState& operator=(const ServiceState&) = delete;

  // Set by the method "cancel", cleared when most background calls start; polled by operations.
  bool cancelled() const { return cancelFlag.load(); }

  std::unique_ptr<EventSink> eventSink;  // platform thread only
  std::atomic<bool> cancelFlag{false};
  ProgressThrottle progressThrottle;
};

// The one state of the process, created on first use.
ServiceState& serviceState();

}  // namespace tidvale
