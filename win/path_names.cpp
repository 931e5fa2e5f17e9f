#include "win/path_names.h"

#include <windows.h>

namespace tidvale::win {
namespace {

// Calls `get(buffer, size)` once for the size and once for the text, as both calls expect.
template <typename Get>
std::optional<std::wstring> sizedText(Get get) {
  const DWORD needed = get(nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::wstring text(needed, L'\0');
  const DWORD written = get(text.data(), needed);
  if (written == 0 || written >= needed) return std::nullopt;
  text.resize(written);
  return text;
}

}  // namespace

std::optional<std::wstring> fullPathName(const std::wstring& path) {
  return sizedText([&path](wchar_t* buffer, DWORD size) {
    return ::GetFullPathNameW(path.c_str(), size, buffer, nullptr);
  });
}

std::optional<std::wstring> longPathName(const std::wstring& path) {
  return sizedText([&path](wchar_t* buffer, DWORD size) {
    return ::GetLongPathNameW(path.c_str(), buffer, size);
  });
}

}  // namespace tidvale::win
