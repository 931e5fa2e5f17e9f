#pragma once
// "listStartupItems": the programs Windows starts at sign-in, from the four Run keys and the two
// Startup folders, each with whether the user switched it off. Background thread; never fails.

#include <windows.h>

#include <string>

#include "channels/encodable_value.h"

namespace tidvale::software {

inline constexpr DWORD kRunValueNameUnits = 256;
inline constexpr DWORD kRunValueDataBytes = 4096;
inline constexpr DWORD kRunValueMaxUnits = 2047;
inline constexpr DWORD kApprovalRecordReadBytes = 64;
inline constexpr BYTE kApprovalDisabledBit = 0x01;

// False only when the approval record `valueName` under `hive`\`approvalKey` is a REG_BINARY of
// 1 to 64 bytes whose first byte has bit 0 set.
bool isApproved(HKEY hive, const wchar_t* approvalKey, const std::wstring& valueName);

// {"items": [{"id", "name", "path", "kind", "enabled", "runAtLoad", "editable"}]}.
EncodableMap listStartupItems();

}  // namespace tidvale::software
