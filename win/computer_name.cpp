#include "win/computer_name.h"

#include <windows.h>

#include <cwchar>

namespace tidvale::win {

namespace {
// Units of the buffer the name is read into: well beyond MAX_COMPUTERNAME_LENGTH + 1.
constexpr DWORD kComputerNameBufferUnits = 256;
}  // namespace

std::wstring computerName() {
  wchar_t buffer[kComputerNameBufferUnits] = {};
  DWORD size = kComputerNameBufferUnits;
  if (!::GetComputerNameW(buffer, &size)) return {};
  return std::wstring(buffer, ::wcsnlen(buffer, kComputerNameBufferUnits));
}

}  // namespace tidvale::win
