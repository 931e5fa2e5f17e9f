#include "scanners/junk_scan.h"

#include <windows.h>

#include <shlobj.h>

#include "fs/win32_file_system.h"
#include "scanners/junk_scanner.h"
#include "win/known_folder.h"
#include "win/path_names.h"
#include "win/recycle_bin_query.h"
#include "win/text.h"

namespace tidvale {
namespace {

constexpr wchar_t kTempVariable[] = L"TEMP";
// TEMP is read into a buffer of this many units; a longer value counts as unreadable.
constexpr DWORD kTempBufferUnits = 520;

std::wstring tempFolder() {
  wchar_t buffer[kTempBufferUnits];
  const DWORD length = ::GetEnvironmentVariableW(kTempVariable, buffer, kTempBufferUnits);
  if (length == 0 || length >= kTempBufferUnits) return {};
  // The catalogue compares folder texts, so TEMP in short (8.3) form is written out long.
  const std::wstring temp(buffer, length);
  return win::longPathName(temp).value_or(temp);
}

int64_t recycleBinBytes() {
  const auto contents = win::queryRecycleBin(nullptr);
  return contents ? contents->bytes : 0;
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
