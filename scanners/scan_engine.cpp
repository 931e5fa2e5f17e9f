#include "scanners/scan_engine.h"

#include <windows.h>

#include <cstdio>
#include <new>
#include <optional>

#include "core/lower_case.h"
#include "fs/mft/mft_volume_win.h"
#include "fs/path_text.h"
#include "fs/walker.h"
#include "fs/win32_file_system.h"
#include "win/known_folder.h"
#include "win/text.h"

namespace tidvale {
namespace {

enum class EngineSwitch { Automatic, Walk, Mft };

EngineSwitch engineSwitch() {
  wchar_t value[8] = {};
  const DWORD length = ::GetEnvironmentVariableW(kScanEngineVariable, value, 8);
  if (length == 0 || length >= 8) return EngineSwitch::Automatic;
  const std::wstring_view text(value, length);
  if (text == L"walk") return EngineSwitch::Walk;
  if (text == L"mft") return EngineSwitch::Mft;
  return EngineSwitch::Automatic;
}

// The path without its trailing separators, lower-cased unit by unit.
std::wstring comparable(std::wstring_view path) {
  while (!path.empty() && fs::isSeparator(path.back())) path.remove_suffix(1);
  return toLowerUnits(path);
}

bool coversMostOfAVolume(const std::wstring& root) {
  if (fs::isVolumeRoot(root)) return true;
  const std::wstring home = win::homeFolder();
  return !home.empty() && comparable(home) == comparable(root);
}

ScanFileSystem walk() {
  return ScanFileSystem(fs::systemFileSystem(), nullptr, ScanEngine::Walk);
}

}  // namespace

ScanFileSystem scanFileSystemFor(ServiceState& state, const std::wstring& root) {
  const EngineSwitch choice = engineSwitch();
  if (choice == EngineSwitch::Walk) return walk();
  if (choice == EngineSwitch::Automatic && !coversMostOfAVolume(root)) return walk();
  fs::mft::MftVolume volume;
  try {
    volume = fs::mft::openMftVolume(root, &state.cancelFlag);
  } catch (const std::bad_alloc&) {
    volume = {nullptr, "the volume's index does not fit in memory"};
  } catch (...) {
    volume = {nullptr, "reading the volume's table failed"};
  }
  if (!volume.fileSystem) {
    if (choice == EngineSwitch::Mft) {
      std::fprintf(stderr, "tidvale: scanning %s by walking: %s\n", win::toUtf8(root).c_str(),
                   volume.failure);
    }
    return walk();
  }
  fs::FileSystem& fileSystem = *volume.fileSystem;
  return ScanFileSystem(fileSystem, std::move(volume.fileSystem), ScanEngine::Mft);
}

}  // namespace tidvale
