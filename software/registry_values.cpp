#include "software/registry_values.h"

#include <algorithm>

namespace tidvale::software {

std::wstring readRegString(HKEY key, const wchar_t* valueName) {
  wchar_t buffer[kRegTextBufferBytes / sizeof(wchar_t)] = {};
  DWORD type = 0;
  DWORD bytes = kRegTextBufferBytes;
  if (::RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return {};
  }
  buffer[std::min<DWORD>(bytes / sizeof(wchar_t), kRegTextMaxUnits)] = L'\0';
  if (type == REG_SZ) return buffer;
  wchar_t expanded[kExpandedTextUnits] = {};
  const DWORD needed = ::ExpandEnvironmentStringsW(buffer, expanded, kExpandedTextUnits);
  // A cut expansion would name another path than the application meant: give nothing.
  if (needed == 0 || needed > kExpandedTextUnits) return {};
  return expanded;
}

DWORD readRegDword(HKEY key, const wchar_t* valueName) {
  DWORD value = 0;
  DWORD type = 0;
  DWORD bytes = sizeof value;
  if (::RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return 0;
  }
  return value;
}

}  // namespace tidvale::software
