#pragma once
// Timing of short operations for the benchmarks that report ratios against a baseline measured
// in the same run.

#include <chrono>

namespace tidvale::bench {

// Each measurement repeats its operation for about this long and keeps the fastest round.
inline constexpr double kSecondsPerMeasurement = 1.0;
inline constexpr int kRoundsAtLeast = 5;

// Seconds per call of `operation`, the best round of several lasting kSecondsPerMeasurement in all.
template <typename Operation>
double bestSeconds(Operation&& operation) {
  using Clock = std::chrono::steady_clock;
  operation();  // warm up
  int perRound = 1;
  for (;;) {  // rounds of at least ~10 ms so the clock's resolution does not matter
    const auto start = Clock::now();
    for (int i = 0; i < perRound; ++i) operation();
    if (std::chrono::duration<double>(Clock::now() - start).count() >= 0.01) break;
    perRound *= 2;
  }
  double best = 1e30;
  double total = 0;
  for (int round = 0; round < kRoundsAtLeast || total < kSecondsPerMeasurement; ++round) {
    const auto start = Clock::now();
    for (int i = 0; i < perRound; ++i) operation();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    total += seconds;
    if (seconds / perRound < best) best = seconds / perRound;
  }
  return best;
}

}  // namespace tidvale::bench
