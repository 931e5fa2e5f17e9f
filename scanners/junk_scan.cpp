#include "scanners/junk_scan.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include "scanners/junk_scanner.h"
#include "scanners/win32_file_system.h"
#include "win/known_folder.h"
#include "win/text.h"

namespace tidvale {
namespace {

constexpr wchar_t kTempVariable[] = L"TEMP";
// TEMP is read into a buffer of this many units; a longer value counts as unreadable.
constexpr DWORD kTempBufferUnits = 520;
// The size SHQueryRecycleBinW is told its record has (the 64-bit layout).
constexpr DWORD kRecycleBinInfoSize = 24;
static_assert(sizeof(SHQUERYRBINFO) == kRecycleBinInfoSize,
              "the shell would write past the record");

std::wstring tempFolder() {
  wchar_t buffer[kTempBufferUnits];
  const DWORD length = ::GetEnvironmentVariableW(kTempVariable, buffer, kTempBufferUnits);
  if (length == 0 || length >= kTempBufferUnits) return {};
  return std::wstring(buffer, length);
}

int64_t recycleBinBytes() {
  SHQUERYRBINFO info{};
  info.cbSize = kRecycleBinInfoSize;
  if (FAILED(::SHQueryRecycleBinW(nullptr, &info))) return 0;
  return info.i64Size;
}

std::string utf8(std::wstring_view text) {
  return win::toUtf8(text);
}

}  // namespace

EncodableMap scanJunk(ServiceState& state) {
  JunkBases bases{
      win::knownFolderPath(FOLDERID_LocalAppData),
      win::knownFolderPath(FOLDERID_RoamingAppData),
      win::knownFolderPath(FOLDERID_Windows),
      win::knownFolderPath(FOLDERID_ProgramData),
      win::homeFolder(),
      tempFolder(),
  };
  const JunkScanEnvironment environment{fs::systemFileSystem(), std::move(bases), recycleBinBytes,
                                        utf8};
  return runJunkScan(state, environment);
}

}  // namespace tidvale
