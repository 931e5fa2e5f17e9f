#include "system/memory_optimizer.h"

#include <windows.h>

#include <psapi.h>

#include "system/memory_report.h"
#include "system/optimizer_figures.h"
#include "system/process_snapshot.h"
#include "win/unique_resource.h"

namespace tidvale::system {
namespace {

// SetSystemFileCacheSize reads both limits at all bits one as "flush the cache".
constexpr SIZE_T kFlushFileCache = static_cast<SIZE_T>(-1);

// "used" of a full memory report, process walk included, as the reply compares two reports.
int64_t reportedUsedBytes() {
  return usedBytes(readMemoryFigures().physical);
}

}  // namespace

void enablePrivilege(const wchar_t* name) {
  win::UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.put())) {
    return;
  }
  TOKEN_PRIVILEGES privileges{};
  if (!::LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) return;
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}

uint32_t trimWorkingSets() {
  uint32_t trimmed = 0;
  forEachProcess([&trimmed](DWORD pid, const wchar_t*) {
    win::UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_SET_QUOTA, FALSE, pid));
    if (process && ::K32EmptyWorkingSet(process.get())) ++trimmed;
  });
  return trimmed;
}

EncodableMap optimizeMemory() {
  OptimizerFigures figures;
  figures.usedBefore = reportedUsedBytes();
  for (const wchar_t* privilege : kOptimizerPrivileges) enablePrivilege(privilege);
  figures.trimmed = trimWorkingSets();
  ::SetSystemFileCacheSize(kFlushFileCache, kFlushFileCache, 0);
  ::Sleep(kSettleMilliseconds);
  figures.usedAfter = reportedUsedBytes();
  return optimizerReplyMap(figures);
}

}  // namespace tidvale::system
