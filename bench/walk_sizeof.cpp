// Times "sizeOf" on a folder tree: the same operation the method table runs, repeated warm.
// Usage: walk_sizeof_bench ROOT [REPETITIONS]
// Prints one line: "sizeOf bytes=<total> seconds=<s1>,<s2>,..." (one figure per repetition).

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "channels/encodable_value.h"
#include "core/clock.h"
#include "core/service_state.h"
#include "scanners/size_of.h"

namespace {

constexpr int kDefaultRepetitions = 5;

double nowSeconds() {
  return static_cast<double>(tidvale::steadyClockNanoseconds()) / 1e9;
}

int64_t sizeOfReply(tidvale::ServiceState& state, const std::wstring& root) {
  const tidvale::EncodableMap reply = tidvale::sizeOf(state, root);
  const auto found = reply.find(tidvale::EncodableValue("size"));
  if (found == reply.end()) return -1;
  const int64_t* size = std::get_if<int64_t>(&found->second);
  return size ? *size : -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: walk_sizeof_bench ROOT [REPETITIONS]\n", stderr);
    return 2;
  }
  const std::wstring root = argv[1];
  const int repetitions = argc > 2 ? std::max(1, _wtoi(argv[2])) : kDefaultRepetitions;
  tidvale::ServiceState state;

  const int64_t bytes = sizeOfReply(state, root);  // warm-up: fills the file system caches
  std::string seconds;
  for (int i = 0; i < repetitions; ++i) {
    const double start = nowSeconds();
    const int64_t again = sizeOfReply(state, root);
    const double elapsed = nowSeconds() - start;
    if (again != bytes) {
      std::fputs("walk_sizeof_bench: the size changed between runs\n", stderr);
      return 1;
    }
    seconds += (i ? "," : "") + std::to_string(elapsed);
  }
  std::printf("sizeOf bytes=%lld seconds=%s\n", static_cast<long long>(bytes), seconds.c_str());
  return 0;
}
