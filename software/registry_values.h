#pragma once
// Reading the text and number values that applications and Windows keep in the registry. Any
// thread; nothing here fails: what cannot be read gives empty text or 0.

#include <windows.h>

#include <string>

namespace tidvale::software {

inline constexpr DWORD kRegTextBufferBytes = 4096;
inline constexpr DWORD kRegTextMaxUnits = 2047;
inline constexpr DWORD kExpandedTextUnits = 2048;

// A REG_SZ or REG_EXPAND_SZ value of `key` as UTF-16 text up to its first NUL; a REG_EXPAND_SZ
// value has its environment references expanded. Missing values, other types, data over 4096
// bytes and expansions that do not fit in 2048 units give "".
std::wstring readRegString(HKEY key, const wchar_t* valueName);

// A REG_DWORD value of `key`; 0 when the query fails or the stored type is not REG_DWORD.
DWORD readRegDword(HKEY key, const wchar_t* valueName);

}  // namespace tidvale::software
