#pragma once
// Hand-over of work from any thread to the platform thread: closures run first-in first-out,
// each post wakes the platform thread, and the platform thread drains the queue.

#include <functional>
#include <mutex>
#include <vector>

namespace tidvale {

class DispatchQueue {
 public:
  using Closure = std::function<void()>;

  // `wake` asks the platform thread to call drain() soon; it may run on any thread and must not
  // call back into the queue. Without a wake the owner drains by itself.
  explicit DispatchQueue(Closure wake = {});
  DispatchQueue(const DispatchQueue&) = delete;
  DispatchQueue& operator=(const DispatchQueue&) = delete;

  // Replaces the wake-up. Call before other threads post.
  void setWake(Closure wake);

  // Any thread. Appends under the lock, then wakes outside it. After close() the closure is
  // destroyed without running.
  void post(Closure closure);

  // Platform thread. Takes every pending closure in one step and runs them in posting order;
  // closures posted meanwhile wait for their own wake-up.
  void drain();

  // Platform thread, when what the closures deliver to goes away: pending closures and every
  // later post are destroyed without running. Final.
  void close();

  size_t pendingCount();

 private:
  std::mutex lock_;
  std::vector<Closure> pending_;
  bool closed_ = false;
  Closure wake_;
};

}  // namespace tidvale
