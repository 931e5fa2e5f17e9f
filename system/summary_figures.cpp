#include "system/summary_figures.h"

#include <cwctype>

namespace tidvale::system {
namespace {

constexpr uint64_t kMillisecondsPerSecond = 1000;
constexpr char kFixedDiskName[] = "Local Disk";
constexpr char kRemovableDiskName[] = "Removable Disk";

}  // namespace

std::string editionName(uint32_t build) {
  return build >= kFirstWindows11Build ? "Windows 11" : "Windows 10";
}

std::string versionText(const OsVersion& version) {
  return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
         std::to_string(version.build);
}

std::string architectureName(uint16_t architecture) {
  return architecture == kArchitectureArm64 ? "arm64" : "x86_64";
}

bool isShownDriveType(unsigned driveType) {
  return driveType == kDriveRemovable || driveType == kDriveFixed;
}

std::string diskName(const std::string& label, char letter, bool removable) {
  std::string name = label;
  if (name.empty()) name = removable ? kRemovableDiskName : kFixedDiskName;
  return name + " (" + letter + ":)";
}

bool isSystemDrive(char letter, wchar_t windowsDirectoryFirst) {
  if (windowsDirectoryFirst == 0) return false;
  return std::towupper(static_cast<wint_t>(windowsDirectoryFirst)) ==
         std::towupper(static_cast<wint_t>(static_cast<unsigned char>(letter)));
}

EncodableMap diskMap(const DiskFigures& disk) {
  return EncodableMap{
      {EncodableValue("name"), EncodableValue(diskName(disk.label, disk.letter, disk.removable))},
      {EncodableValue("path"), EncodableValue(std::string{disk.letter, ':', '\\'})},
      {EncodableValue("total"), EncodableValue(disk.total)},
      {EncodableValue("free"), EncodableValue(disk.free)},
      {EncodableValue("used"), EncodableValue(disk.total - disk.free)},
      {EncodableValue("isSystem"), EncodableValue(disk.isSystem)},
      {EncodableValue("isRemovable"), EncodableValue(disk.removable)},
  };
}

EncodableMap summaryMap(const SummaryFigures& figures) {
  EncodableList disks;
  for (const DiskFigures& disk : figures.disks) disks.emplace_back(diskMap(disk));
  const auto uptime = static_cast<int64_t>(figures.uptimeMilliseconds / kMillisecondsPerSecond);
  return EncodableMap{
      {EncodableValue("os"), EncodableValue(editionName(figures.version.build))},
      {EncodableValue("osVersion"), EncodableValue(versionText(figures.version))},
      {EncodableValue("host"), EncodableValue(figures.host)},
      {EncodableValue("user"), EncodableValue(figures.user)},
      {EncodableValue("cpu"), EncodableValue(figures.cpu)},
      {EncodableValue("arch"), EncodableValue(architectureName(figures.architecture))},
      {EncodableValue("cores"), EncodableValue(static_cast<int32_t>(figures.cores))},
      {EncodableValue("memTotal"), EncodableValue(figures.memTotal)},
      {EncodableValue("memUsed"), EncodableValue(figures.memUsed)},
      {EncodableValue("uptime"), EncodableValue(uptime)},
      {EncodableValue("disks"), EncodableValue(std::move(disks))},
      {EncodableValue("home"), EncodableValue(figures.home)},
  };
}

}  // namespace tidvale::system
