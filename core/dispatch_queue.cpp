#include "core/dispatch_queue.h"

#include <utility>

namespace tidvale {

DispatchQueue::DispatchQueue(Closure wake) : wake_(std::move(wake)) {}

void DispatchQueue::setWake(Closure wake) {
  wake_ = std::move(wake);
}

void DispatchQueue::post(Closure closure) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    pending_.push_back(std::move(closure));
  }
  if (wake_) wake_();
}

void DispatchQueue::drain() {
  std::vector<Closure> taken;
  {
    std::lock_guard<std::mutex> guard(lock_);
    taken.swap(pending_);
  }
  for (Closure& closure : taken) closure();
}

size_t DispatchQueue::pendingCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return pending_.size();
}

}  // namespace tidvale
