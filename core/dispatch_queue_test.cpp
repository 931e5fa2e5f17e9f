#include "core/dispatch_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

namespace tidvale {
namespace {

TEST(DispatchQueue, RunsClosuresFromManyThreadsOncePreservingEachThreadsOrder) {
  constexpr int kThreads = 8;
  constexpr int kPerThread = 500;
  std::atomic<int> wakes{0};
  DispatchQueue queue([&wakes] { wakes.fetch_add(1); });
  std::vector<std::pair<int, int>> ran;  // touched only by the draining thread

  std::atomic<bool> producing{true};
  std::thread drainer([&] {
    while (producing.load()) queue.drain();
    queue.drain();
  });
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([&queue, &ran, t] {
      for (int i = 0; i < kPerThread; ++i) queue.post([&ran, t, i] { ran.emplace_back(t, i); });
    });
  }
  for (auto& producer : producers) producer.join();
  producing.store(false);
  drainer.join();

  ASSERT_EQ(ran.size(), size_t{kThreads * kPerThread});
  EXPECT_EQ(wakes.load(), kThreads * kPerThread);  // every post wakes
  std::map<int, int> next;
  for (const auto& [thread, index] : ran) {
    EXPECT_EQ(index, next[thread]) << "thread " << thread << " out of order";
    next[thread] = index + 1;
  }
}

TEST(DispatchQueue, ClosurePostedDuringDrainWaitsForTheNextDrain) {
  DispatchQueue queue;
  std::vector<int> ran;
  queue.post([&] {
    ran.push_back(1);
    queue.post([&] { ran.push_back(3); });
  });
  queue.post([&] { ran.push_back(2); });
  queue.drain();
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  EXPECT_EQ(queue.pendingCount(), 1u);
  queue.drain();
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  queue.drain();  // an empty drain does nothing
  EXPECT_EQ(ran.size(), 3u);
}

}  // namespace
}  // namespace tidvale
