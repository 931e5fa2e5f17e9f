#include "core/task_pool.h"

#include <algorithm>
#include <system_error>

namespace tidvale {
namespace {

// More workers than this gain nothing on a disk-bound stage.
constexpr size_t kMaxDefaultWorkers = 8;

}  // namespace

TaskPool::TaskPool(size_t workers) : workers_(std::max<size_t>(workers, 1)) {}

void TaskPool::startHelpers() {
  // With fewer helpers when the system refuses a thread: the stages still run, on fewer threads.
  try {
    for (size_t worker = 1; worker < workers_; ++worker) {
      helpers_.emplace_back([this, worker] { helperLoop(worker); });
    }
  } catch (const std::system_error&) {
  }
}

TaskPool::~TaskPool() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& helper : helpers_) helper.join();
}

void TaskPool::run(size_t count, const Job& job) {
  if (helpers_.empty() && workers_ > 1 && count > 1) startHelpers();
  if (helpers_.empty() || count <= 1) {
    for (size_t index = 0; index < count; ++index) job(0, index);
    return;
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    job_ = &job;
    count_ = count;
    next_.store(0);
    helpersBusy_ = helpers_.size();
    ++generation_;
  }
  wake_.notify_all();
  drain(0);
  // Every helper takes part in every stage, so none can still be looking at `job` afterwards.
  std::unique_lock<std::mutex> guard(lock_);
  finished_.wait(guard, [this] { return helpersBusy_ == 0; });
  job_ = nullptr;
}

void TaskPool::helperLoop(size_t worker) {
  size_t seen = 0;
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    wake_.wait(guard, [&] { return stopping_ || generation_ != seen; });
    if (stopping_) return;
    seen = generation_;
    guard.unlock();
    drain(worker);
    guard.lock();
    if (--helpersBusy_ == 0) finished_.notify_one();
  }
}

void TaskPool::drain(size_t worker) {
  for (size_t index = next_.fetch_add(1); index < count_; index = next_.fetch_add(1)) {
    (*job_)(worker, index);
  }
}

size_t defaultWorkerCount() {
  const size_t processors = std::thread::hardware_concurrency();
  return std::clamp<size_t>(processors, 1, kMaxDefaultWorkers);
}

}  // namespace tidvale
