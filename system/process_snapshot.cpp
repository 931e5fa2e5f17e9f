#include "system/process_snapshot.h"

#include <tlhelp32.h>

#include "win/unique_resource.h"

namespace tidvale::system {
namespace {

// CreateToolhelp32Snapshot fails with INVALID_HANDLE_VALUE.
using UniqueSnapshot = win::UniqueResource<HANDLE, -1, win::detail::closeHandle>;

}  // namespace

bool forEachProcess(const std::function<void(DWORD pid, const wchar_t* exeName)>& visit) {
  UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  if (!::Process32FirstW(snapshot.get(), &entry)) return false;
  do {
    visit(entry.th32ProcessID, entry.szExeFile);
  } while (::Process32NextW(snapshot.get(), &entry));
  return true;
}

}  // namespace tidvale::system
