#pragma once
// Timing of whole scans for the benchmarks: one run warms the file system caches, then each
// repetition is timed and its result checked against the warm-up's.

#include <optional>
#include <string>
#include <type_traits>

#include "core/clock.h"

namespace tidvale::bench {

inline double nowSeconds() {
  return static_cast<double>(steadyClockNanoseconds()) / 1e9;
}

template <typename Result>
struct WarmTiming {
  Result first;         // the warm-up's result
  std::string seconds;  // each repetition's seconds, comma-separated
};

// Runs `operation` once, then `repetitions` times more, timing each. No value when a
// repetition's result is not `same` as the warm-up's: the tree changed under the benchmark.
template <typename Operation, typename Same>
auto timeWarm(int repetitions, Operation&& operation, Same&& same)
    -> std::optional<WarmTiming<std::decay_t<decltype(operation())>>> {
  WarmTiming<std::decay_t<decltype(operation())>> timing{operation(), {}};
  for (int i = 0; i < repetitions; ++i) {
    const double start = nowSeconds();
    const auto again = operation();
    timing.seconds += (i ? "," : "") + std::to_string(nowSeconds() - start);
    if (!same(timing.first, again)) return std::nullopt;
  }
  return timing;
}

}  // namespace tidvale::bench
