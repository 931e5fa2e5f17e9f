// Times "deleteItems" on one folder tree: first a warm-up measurement of the tree (what the
// routine's own measurement costs), then the routine itself, which measures and removes it.
// With --paths, the routine is handed every file below ROOT as a path of its own (the junk
// scan's shape), listed before the clock starts.
// Usage: delete_items_bench [--paths] ROOT
// Prints one line: "deleteItems freed=<bytes> failed=<n> measure_seconds=<s> seconds=<s>".

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/raw_walk.h"
#include "bench/warm_timing.h"
#include "channels/encodable_value.h"
#include "core/service_state.h"
#include "removal/delete_items.h"
#include "scanners/system_walks.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace {

// The entries handed to the routine: ROOT itself, or every file below it.
std::vector<std::string> entriesOf(const std::wstring& root, bool eachFile) {
  if (!eachFile) return {tidvale::win::toUtf8(root)};
  std::vector<std::string> entries;
  std::wstring path = root + L"\\";
  tidvale::bench::rawWalk(
      path,
      [&](const std::wstring& file, const WIN32_FIND_DATAW&) {
        entries.push_back(tidvale::win::toUtf8(file));
      },
      [](const std::wstring&) {});
  return entries;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool eachFile = argc > 2 && std::wstring(argv[1]) == L"--paths";
  if (argc < 2 || (argc > 2 && !eachFile)) {
    std::fputs("usage: delete_items_bench [--paths] ROOT\n", stderr);
    return 2;
  }
  const std::wstring root = argv[argc - 1];
  tidvale::win::ComApartment apartment(COINIT_APARTMENTTHREADED);
  tidvale::ServiceState state;

  tidvale::measurePath(state, root);  // warm-up: fills the file system caches
  const double measureStart = tidvale::bench::nowSeconds();
  tidvale::measurePath(state, root);
  const double measureSeconds = tidvale::bench::nowSeconds() - measureStart;

  const std::vector<std::string> entries = entriesOf(root, eachFile);
  const double start = tidvale::bench::nowSeconds();
  const tidvale::EncodableMap reply = tidvale::deleteItems(state, entries, false);
  const double seconds = tidvale::bench::nowSeconds() - start;
  const auto freed = std::get<int64_t>(reply.at(tidvale::EncodableValue("freed")));
  const auto failed =
      std::get<tidvale::EncodableList>(reply.at(tidvale::EncodableValue("failed"))).size();
  std::printf("deleteItems freed=%lld failed=%zu measure_seconds=%f seconds=%f\n",
              static_cast<long long>(freed), failed, measureSeconds, seconds);
  return 0;
}
