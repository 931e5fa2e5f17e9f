// Times "deleteItems" on one folder tree: first a warm-up measurement of the tree (what the
// routine's own measurement costs), then the routine itself, which measures and removes it.
// Usage: delete_items_bench ROOT
// Prints one line: "deleteItems freed=<bytes> failed=<n> measure_seconds=<s> seconds=<s>".

#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/warm_timing.h"
#include "channels/encodable_value.h"
#include "core/service_state.h"
#include "removal/delete_items.h"
#include "scanners/system_walks.h"
#include "win/text.h"
#include "win/unique_resource.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: delete_items_bench ROOT\n", stderr);
    return 2;
  }
  const std::wstring root = argv[1];
  tidvale::win::ComApartment apartment(COINIT_APARTMENTTHREADED);
  tidvale::ServiceState state;

  tidvale::measurePath(state, root);  // warm-up: fills the file system caches
  const double measureStart = tidvale::bench::nowSeconds();
  tidvale::measurePath(state, root);
  const double measureSeconds = tidvale::bench::nowSeconds() - measureStart;

  const double start = tidvale::bench::nowSeconds();
  const tidvale::EncodableMap reply =
      tidvale::deleteItems(state, {tidvale::win::toUtf8(root)}, false);
  const double seconds = tidvale::bench::nowSeconds() - start;
  const auto freed = std::get<int64_t>(reply.at(tidvale::EncodableValue("freed")));
  const auto failed =
      std::get<tidvale::EncodableList>(reply.at(tidvale::EncodableValue("failed"))).size();
  std::printf("deleteItems freed=%lld failed=%zu measure_seconds=%f seconds=%f\n",
              static_cast<long long>(freed), failed, measureSeconds, seconds);
  return 0;
}
