#include "shell/identity_source.h"

#include <cwchar>

#include "win/computer_name.h"

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

std::wstring identitySource(HKEY root, const wchar_t* subKey) {
  std::wstring source = readMachineGuid(root, subKey);
  if (source.empty()) source = win::computerName();
  return source;
}

}  // namespace tidvale::shell
