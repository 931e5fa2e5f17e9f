#include "system/system_summary.h"

#include <windows.h>

#include <cwchar>

#include "system/disks.h"
#include "system/memory_report.h"
#include "win/computer_name.h"
#include "win/known_folder.h"
#include "win/text.h"

namespace tidvale::system {
namespace {

constexpr DWORD kNameUnits = 256;
constexpr DWORD kProcessorNameBytes = 1024;

using RtlGetVersionFunction = LONG(WINAPI*)(PRTL_OSVERSIONINFOW);

// The text before the first NUL of a zero-filled buffer.
std::string bufferText(const wchar_t* buffer, std::size_t units) {
  return win::toUtf8(std::wstring_view(buffer, ::wcsnlen(buffer, units)));
}

std::string userName() {
  wchar_t buffer[kNameUnits]{};
  DWORD size = kNameUnits;
  if (!::GetUserNameW(buffer, &size)) return "";
  return bufferText(buffer, kNameUnits);
}

}  // namespace

OsVersion readOsVersion() {
  OsVersion version;
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return version;
  const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
  if (rtlGetVersion == nullptr) return version;
  RTL_OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  rtlGetVersion(&info);
  version.major = info.dwMajorVersion;
  version.minor = info.dwMinorVersion;
  version.build = info.dwBuildNumber;
  return version;
}

std::string readProcessorName() {
  wchar_t buffer[kProcessorNameBytes / sizeof(wchar_t)]{};
  DWORD bytes = kProcessorNameBytes;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kProcessorKey, kProcessorNameValue, RRF_RT_REG_SZ, nullptr,
                     buffer, &bytes) != ERROR_SUCCESS) {
    return "";
  }
  return bufferText(buffer, std::size(buffer));
}

EncodableMap systemInfo() {
  SummaryFigures figures;
  figures.version = readOsVersion();
  figures.host = win::toUtf8(win::computerName());
  figures.user = userName();
  figures.cpu = readProcessorName();
  SYSTEM_INFO info{};
  ::GetNativeSystemInfo(&info);
  figures.architecture = info.wProcessorArchitecture;
  figures.cores = info.dwNumberOfProcessors;
  const PhysicalMemory memory = readPhysicalMemory();
  figures.memTotal = static_cast<int64_t>(memory.total);
  figures.memUsed = usedBytes(memory);
  figures.disks = readDisks();
  figures.uptimeMilliseconds = ::GetTickCount64();
  figures.home = win::toUtf8(win::homeFolder());
  return summaryMap(figures);
}

}  // namespace tidvale::system
