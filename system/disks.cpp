#include "system/disks.h"

#include <windows.h>

#include <cwchar>

#include "win/text.h"

namespace tidvale::system {
namespace {

constexpr int kDriveLetters = 26;
constexpr UINT kWindowsDirectoryUnits = 260;
constexpr DWORD kVolumeLabelUnits = 261;

// Asking an empty removable drive for its space must not put up the "no disk in the drive"
// message box: the caller is a background thread that nobody would answer it for. Thread-local,
// so other threads keep their own mode; restored on return.
class QuietDriveErrors {
 public:
  QuietDriveErrors() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_); }
  QuietDriveErrors(const QuietDriveErrors&) = delete;
  QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;
  ~QuietDriveErrors() { ::SetThreadErrorMode(previous_, nullptr); }

 private:
  DWORD previous_ = 0;
};

// First character of the Windows directory; 0 when it cannot be read.
wchar_t windowsDirectoryFirst() {
  wchar_t directory[kWindowsDirectoryUnits]{};
  const UINT length = ::GetWindowsDirectoryW(directory, kWindowsDirectoryUnits);
  return length > 0 && length < kWindowsDirectoryUnits ? directory[0] : 0;
}

// The volume label; "" when there is none or it cannot be read.
std::string volumeLabel(const wchar_t* root) {
  wchar_t label[kVolumeLabelUnits]{};
  ::GetVolumeInformationW(root, label, kVolumeLabelUnits, nullptr, nullptr, nullptr, nullptr, 0);
  return win::toUtf8(std::wstring_view(label, ::wcsnlen(label, kVolumeLabelUnits)));
}

}  // namespace

std::vector<DiskFigures> readDisks() {
  QuietDriveErrors quiet;
  const wchar_t windowsDrive = windowsDirectoryFirst();
  const DWORD mask = ::GetLogicalDrives();
  std::vector<DiskFigures> disks;
  for (int index = 0; index < kDriveLetters; ++index) {
    if ((mask & (DWORD{1} << index)) == 0) continue;
    const char letter = static_cast<char>('A' + index);
    const wchar_t root[] = {static_cast<wchar_t>(L'A' + index), L':', L'\\', L'\0'};
    const UINT type = ::GetDriveTypeW(root);
    if (!isShownDriveType(type)) continue;
    ULARGE_INTEGER freeToCaller{};
    ULARGE_INTEGER total{};
    if (!::GetDiskFreeSpaceExW(root, &freeToCaller, &total, nullptr)) continue;
    DiskFigures disk;
    disk.letter = letter;
    disk.label = volumeLabel(root);
    disk.removable = type == kDriveRemovable;
    disk.total = static_cast<int64_t>(total.QuadPart);
    disk.free = static_cast<int64_t>(freeToCaller.QuadPart);
    disk.isSystem = isSystemDrive(letter, windowsDrive);
    disks.push_back(std::move(disk));
  }
  return disks;
}

}  // namespace tidvale::system
