#pragma once
// The system summary's figures, the decisions taken on them (edition, architecture, which drives
// are shown and how they are named) and its reply map, apart from the Windows calls that read
// them. Any thread.

#include <cstdint>
#include <string>
#include <vector>

#include "channels/encodable_value.h"

namespace tidvale::system {

// Windows 11 kept the major version 10; only the build number tells the two apart.
inline constexpr uint32_t kFirstWindows11Build = 22000;
// wProcessorArchitecture of ARM64 processors.
inline constexpr uint16_t kArchitectureArm64 = 12;
// Drive types of GetDriveTypeW that the summary shows.
inline constexpr unsigned kDriveRemovable = 2;
inline constexpr unsigned kDriveFixed = 3;

struct OsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
};

// One drive shown in the summary.
struct DiskFigures {
  char letter = 'C';  // 'A' to 'Z'
  std::string label;  // volume label, UTF-8; may be empty
  bool removable = false;
  int64_t total = 0;  // bytes
  int64_t free = 0;   // bytes available to the caller
  bool isSystem = false;
};

struct SummaryFigures {
  OsVersion version;
  std::string host;
  std::string user;
  std::string cpu;
  uint16_t architecture = 0;  // wProcessorArchitecture
  uint32_t cores = 0;
  int64_t memTotal = 0;
  int64_t memUsed = 0;
  uint64_t uptimeMilliseconds = 0;
  std::vector<DiskFigures> disks;  // in letter order
  std::string home;
};

// "Windows 11" from build 22000 on, otherwise "Windows 10" (an unknown version, 0, included).
std::string editionName(uint32_t build);

// "major.minor.build" in plain decimal, e.g. "10.0.22631".
std::string versionText(const OsVersion& version);

// "arm64" for ARM64 only; every other code, 32-bit x86 and unknown ones included, is "x86_64".
std::string architectureName(uint16_t architecture);

// Only fixed and removable drives are shown: network, optical, RAM-disk, unknown and rootless
// drives are not.
bool isShownDriveType(unsigned driveType);

// The label, or "Local Disk" / "Removable Disk" when it is empty, then " (X:)".
std::string diskName(const std::string& label, char letter, bool removable);

// Whether `letter` is the drive of the Windows directory, ignoring case; false when that
// directory is unknown (0).
bool isSystemDrive(char letter, wchar_t windowsDirectoryFirst);

// {"name", "path", "total", "free", "used", "isSystem", "isRemovable"}; sizes as 64-bit integers.
EncodableMap diskMap(const DiskFigures& disk);

// The twelve-key summary: "os", "osVersion", "host", "user", "cpu", "arch", "cores" (32-bit),
// "memTotal", "memUsed", "uptime" (whole seconds; all three 64-bit), "disks", "home".
EncodableMap summaryMap(const SummaryFigures& figures);

}  // namespace tidvale::system
