#include "scanners/extended_path.h"

namespace tidvale::fs {
namespace {

constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";
constexpr std::wstring_view kUncPrefix = L"\\\\";
constexpr std::wstring_view kExtendedUncPrefix = L"\\\\?\\UNC\\";

}  // namespace

bool hasDevicePrefix(std::wstring_view path) {
  return path.starts_with(kExtendedPrefix) || path.starts_with(kDevicePrefix);
}

std::wstring extendedLengthForm(std::wstring_view fullPath) {
  if (hasDevicePrefix(fullPath)) return std::wstring(fullPath);
  std::wstring result;
  if (fullPath.starts_with(kUncPrefix)) {
    result.reserve(kExtendedUncPrefix.size() + fullPath.size());
    result.append(kExtendedUncPrefix).append(fullPath.substr(kUncPrefix.size()));
  } else {
    result.reserve(kExtendedPrefix.size() + fullPath.size());
    result.append(kExtendedPrefix).append(fullPath);
  }
  return result;
}

}  // namespace tidvale::fs
