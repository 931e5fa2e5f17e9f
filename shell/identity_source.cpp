#include "shell/identity_source.h"

#include <cwchar>

namespace tidvale::shell {

namespace {

// The text up to the first NUL, never past the end of the buffer.
std::wstring textUpToNul(const wchar_t* buffer, std::size_t units) {
  return std::wstring(buffer, ::wcsnlen(buffer, units));
}

}  // namespace

std::wstring readMachineGuid(HKEY root, const wchar_t* subKey) {
  constexpr std::size_t units = kMachineGuidBufferBytes / sizeof(wchar_t);
  wchar_t buffer[units] = {};
  DWORD size = kMachineGuidBufferBytes;
  if (::RegGetValueW(root, subKey, kMachineGuidValue, kMachineGuidReadFlags, nullptr, buffer,
                     &size) != ERROR_SUCCESS) {
    return {};
  }
  return textUpToNul(buffer, units);
}

std::wstring computerName() {
  wchar_t buffer[kComputerNameBufferUnits] = {};
  DWORD size = kComputerNameBufferUnits;
  if (!::GetComputerNameW(buffer, &size)) return {};
  return textUpToNul(buffer, kComputerNameBufferUnits);
}

std::wstring identitySource(HKEY root, const wchar_t* subKey) {
  std::wstring source = readMachineGuid(root, subKey);
  if (source.empty()) source = computerName();
  return source;
}

}  // namespace tidvale::shell
