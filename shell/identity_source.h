#pragma once
// Where the device identifier comes from: the installation's machine GUID, or the computer
// name when there is none. Any thread; nothing throws; every registry key is closed on return.

#include <windows.h>

#include <string>

namespace tidvale::shell {

// Written by Windows setup; unique per installation.
inline constexpr wchar_t kMachineGuidKey[] = L"SOFTWARE\\Microsoft\\Cryptography";
inline constexpr wchar_t kMachineGuidValue[] = L"MachineGuid";
// Size of the zeroed buffer the value is read into; a longer value counts as absent.
inline constexpr DWORD kMachineGuidBufferBytes = 256;
// Always the 64-bit view, so a 32-bit build would read the same value as a 64-bit one.
inline constexpr DWORD kMachineGuidReadFlags = RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY;

// The string value "MachineGuid" under `root`\`subKey`, read from the 64-bit registry view.
// "" when the key or value is missing, is not a string, or does not fit the buffer.
std::wstring readMachineGuid(HKEY root, const wchar_t* subKey);

// The first non-empty of the machine GUID under `root`\`subKey` and the computer name (read
// only when the GUID is empty); "" when neither is available.
std::wstring identitySource(HKEY root, const wchar_t* subKey);

}  // namespace tidvale::shell
