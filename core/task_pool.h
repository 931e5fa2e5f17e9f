#pragma once
// A small pool of worker threads that run the jobs of one stage concurrently. The calling thread
// works as worker 0; the others start with the first stage of more than one job and wait between
// stages. Platform-neutral.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tidvale {

class TaskPool {
 public:
  // Job `index` of a stage, run on worker `worker` (0 = the thread that called run).
  using Job = std::function<void(size_t worker, size_t index)>;

  // `workers` threads in all, at least one; with one, every job runs on the caller's thread.
  explicit TaskPool(size_t workers);
  ~TaskPool();
  TaskPool(const TaskPool&) = delete;
  TaskPool& operator=(const TaskPool&) = delete;

  size_t workers() const { return workers_; }

  // Runs job(worker, i) once for every i below `count`, spread over the workers, and returns when
  // all have finished. One caller at a time. Jobs must not throw.
  void run(size_t count, const Job& job);

 private:
  void startHelpers();
  void helperLoop(size_t worker);
  void drain(size_t worker);

  const size_t workers_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  const Job* job_ = nullptr;
  size_t count_ = 0;
  std::atomic<size_t> next_{0};
  size_t generation_ = 0;
  size_t helpersBusy_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> helpers_;
};

// About one worker per processor, at least one.
size_t defaultWorkerCount();

}  // namespace tidvale
