#include "software/app_icon.h"

#include <windows.h>

#include <objidl.h>
// GDI+ and the shell need the COM declarations above.
#include <gdiplus.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <wincrypt.h>

#include <cstdlib>
#include <vector>

#include "software/quoted_text.h"
#include "win/unique_resource.h"

namespace tidvale::software {
namespace {

// {557CF406-1A04-11D3-9A73-0000F81EF32E}: GDI+'s built-in PNG encoder.
constexpr CLSID kPngEncoder = {
    0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr DWORD kBase64NoLineBreaks = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;

void destroyIcon(HICON icon) {
  ::DestroyIcon(icon);
}
void disposeBitmap(Gdiplus::GpBitmap* bitmap) {
  Gdiplus::DllExports::GdipDisposeImage(bitmap);
}
using UniqueIcon = win::UniqueResource<HICON, 0, destroyIcon>;
using UniqueBitmap = win::UniqueResource<Gdiplus::GpBitmap*, 0, disposeBitmap>;

// Holds GlobalLock on a stream's memory for as long as the bytes are read.
class LockedGlobal {
 public:
  explicit LockedGlobal(HGLOBAL memory)
      : memory_(memory), bytes_(memory ? ::GlobalLock(memory) : nullptr) {}
  LockedGlobal(const LockedGlobal&) = delete;
  LockedGlobal& operator=(const LockedGlobal&) = delete;
  ~LockedGlobal() {
    if (bytes_) ::GlobalUnlock(memory_);
  }
  const BYTE* bytes() const { return static_cast<const BYTE*>(bytes_); }

 private:
  HGLOBAL memory_;
  void* bytes_;
};

UniqueIcon loadIcon(const std::wstring& path, int index) {
  UniqueIcon icon;
  HICON large = nullptr;
  if (::ExtractIconExW(path.c_str(), index, &large, nullptr, 1) > 0 && large) icon.reset(large);
  if (icon) return icon;
  SHFILEINFOW info = {};
  if (::SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_ICON) != 0 && info.hIcon) {
    icon.reset(info.hIcon);
  }
  return icon;
}

std::string base64(const BYTE* bytes, DWORD size) {
  DWORD length = 0;
  if (!::CryptBinaryToStringA(bytes, size, kBase64NoLineBreaks, nullptr, &length) || length == 0) {
    return {};
  }
  std::vector<char> text(length);
  if (!::CryptBinaryToStringA(bytes, size, kBase64NoLineBreaks, text.data(), &length)) return {};
  std::string result(text.data(), text.size());
  while (!result.empty() &&
         (result.back() == '\0' || result.back() == '\n' || result.back() == '\r')) {
    result.pop_back();
  }
  return result;
}

std::string iconToPng(HICON icon) {
  UniqueBitmap bitmap;
  if (Gdiplus::DllExports::GdipCreateBitmapFromHICON(icon, bitmap.put()) != Gdiplus::Ok) {
    return {};
  }
  win::ComPtr<IStream> stream;
  if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return {};
  if (Gdiplus::DllExports::GdipSaveImageToStream(bitmap.get(), stream.get(), &kPngEncoder,
                                                 nullptr) != Gdiplus::Ok) {
    return {};
  }
  HGLOBAL memory = nullptr;
  if (FAILED(::GetHGlobalFromStream(stream.get(), &memory))) return {};
  // The memory block may be larger than what was written: the stream knows its own length.
  SIZE_T size = ::GlobalSize(memory);
  STATSTG status = {};
  if (SUCCEEDED(stream->Stat(&status, STATFLAG_NONAME)) && status.cbSize.QuadPart < size) {
    size = static_cast<SIZE_T>(status.cbSize.QuadPart);
  }
  const LockedGlobal locked(memory);
  if (size == 0 || !locked.bytes()) return {};
  return base64(locked.bytes(), static_cast<DWORD>(size));
}

}  // namespace

IconLocation parseIconLocation(const std::wstring& displayIcon) {
  const size_t comma = displayIcon.rfind(L',');
  if (comma == std::wstring::npos || comma + 1 == displayIcon.size()) return {displayIcon, 0};
  return {displayIcon.substr(0, comma), ::_wtoi(displayIcon.c_str() + comma + 1)};
}

std::string iconToPngBase64(const std::wstring& displayIcon, const std::wstring& fallbackPath) {
  IconLocation location;
  if (!displayIcon.empty()) {
    location = parseIconLocation(displayIcon);
    location.path = withoutSurroundingQuotes(location.path);
  }
  if (location.path.empty() || !::PathFileExistsW(location.path.c_str())) {
    location.path = fallbackPath;
  }
  if (location.path.empty() || !::PathFileExistsW(location.path.c_str())) return {};
  const UniqueIcon icon = loadIcon(location.path, location.index);
  if (!icon) return {};
  return iconToPng(icon.get());
}

}  // namespace tidvale::software
