#include "core/dispatch_queue.h"

#include <utility>

namespace tidvale {

DispatchQueue::DispatchQueue(Closure wake) : wake_(std::move(wake)) {}

void DispatchQueue::setWake(Closure wake) {
  wake_ = std::move(wake);
}

void DispatchQueue::post(Closure closure) {
  bool accepted = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!closed_) {
      pending_.push_back(std::move(closure));
      accepted = true;
    }
  }
  // A refused closure is destroyed on return, outside the lock: its captures may post again.
  if (accepted && wake_) wake_();
}

void DispatchQueue::drain() {
  std::vector<Closure> taken;
  {
    std::lock_guard<std::mutex> guard(lock_);
    taken.swap(pending_);
  }
  for (Closure& closure : taken) closure();
}

void DispatchQueue::close() {
  std::vector<Closure> dropped;
  {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
    dropped.swap(pending_);
  }
}

size_t DispatchQueue::pendingCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return pending_.size();
}

}  // namespace tidvale
