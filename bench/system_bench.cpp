// Cost of the system methods' reads, as ratios against baselines timed in the same run:
// - "systemInfo" as built (physical memory read directly) against the same summary followed by a
//   full memory report, which opens and queries every process only to take two figures;
// - the memory report against a bare Toolhelp walk that opens no process.

#include <cstdio>

#include "bench/best_seconds.h"
#include "system/memory_report.h"
#include "system/process_snapshot.h"
#include "system/system_summary.h"

namespace {

using tidvale::bench::bestSeconds;

constexpr double kMicrosecondsPerSecond = 1e6;

void report(const char* what, double seconds, double baselineSeconds, const char* baseline) {
  std::printf("%-34s %10.1f us   %6.2fx %s\n", what, seconds * kMicrosecondsPerSecond,
              seconds / baselineSeconds, baseline);
}

}  // namespace

int main() {
  using namespace tidvale::system;
  volatile std::size_t sink = 0;

  std::size_t processes = 0;
  const double walkSeconds = bestSeconds([&] {
    processes = 0;
    forEachProcess([&](DWORD, const wchar_t*) { ++processes; });
    sink = sink + processes;
  });
  const double reportSeconds = bestSeconds([&] { sink = sink + memoryReport().size(); });
  const double summarySeconds = bestSeconds([&] { sink = sink + systemInfo().size(); });
  const double summaryWithReportSeconds = bestSeconds(
      [&] { sink = sink + systemInfo().size() + readMemoryFigures().processes.size(); });

  std::printf("processes in the snapshot: %zu\n", processes);
  report("snapshot walk (baseline)", walkSeconds, walkSeconds, "walk");
  report("memory report", reportSeconds, walkSeconds, "walk");
  report("summary + memory report (baseline)", summaryWithReportSeconds, summaryWithReportSeconds,
         "summary + report");
  report("summary as built", summarySeconds, summaryWithReportSeconds, "summary + report");
  return processes > 0 ? 0 : 1;
}
