#include "scanners/junk_scan.h"

#include <windows.h>

#include <shlobj.h>

#include "scanners/junk_scanner.h"
#include "scanners/win32_file_system.h"
#include "win/known_folder.h"
#include "win/recycle_bin_query.h"
#include "win/text.h"

namespace tidvale {
namespace {

constexpr wchar_t kTempVariable[] = L"TEMP";
// TEMP is read into a buffer of this many units; a longer value counts as unreadable.
constexpr DWORD kTempBufferUnits = 520;

// The long form of `path` (each 8.3 short name expanded), or `path` itself when that fails. The
// catalogue compares folder texts, so TEMP must be written as the other bases are.
std::wstring longPathOf(const std::wstring& path) {
  const DWORD needed = ::GetLongPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return path;
  std::wstring longPath(needed, L'\0');
  const DWORD written = ::GetLongPathNameW(path.c_str(), longPath.data(), needed);
  if (written == 0 || written >= needed) return path;
  longPath.resize(written);
  return longPath;
}

std::wstring tempFolder() {
  wchar_t buffer[kTempBufferUnits];
  const DWORD length = ::GetEnvironmentVariableW(kTempVariable, buffer, kTempBufferUnits);
  if (length == 0 || length >= kTempBufferUnits) return {};
  return longPathOf(std::wstring(buffer, length));
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
