#include "software/app_icon.h"

#include <windows.h>

#include <objidl.h>
// GDI+ and the shell need the COM declarations above.
#include <gdiplus.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

#include "software/icon_file.h"
#include "software/local_path.h"
#include "software/quoted_text.h"
#include "win/unique_resource.h"

namespace tidvale::software {
namespace {

// {557CF406-1A04-11D3-9A73-0000F81EF32E}: GDI+'s built-in PNG encoder.
constexpr CLSID kPngEncoder = {
    0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr DWORD kBase64NoLineBreaks = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
constexpr DWORD kIconFormatVersion = 0x00030000;  // what CreateIconFromResourceEx expects
constexpr uint8_t kExecutableSignature[] = {'M', 'Z'};
constexpr size_t kSignatureBytes = 4;  // enough for both kinds of file

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

// What the system's own readers get: executables only (their resources go through the loader).
UniqueIcon loadIconFromExecutable(const std::wstring& path, int index) {
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

// An icon file is read here, checked, and only the chosen image is handed to the system, from our
// own copy: a file swapped after the check cannot reach a system parser. An .ico holds a single
// icon, so every index gives it, as the shell's own fallback would.
UniqueIcon loadIconFromIconFile(std::vector<uint8_t> bytes) {
  const auto images = checkedIconImages(bytes);
  if (!images) return {};
  const IconImage best =
      bestIconImage(*images, static_cast<uint32_t>(::GetSystemMetrics(SM_CXICON)));
  return UniqueIcon(::CreateIconFromResourceEx(bytes.data() + best.offset,
                                               static_cast<DWORD>(best.size), TRUE,
                                               kIconFormatVersion, 0, 0, LR_DEFAULTSIZE));
}

std::optional<std::vector<uint8_t>> readAll(HANDLE file, size_t size) {
  std::vector<uint8_t> bytes(size);
  DWORD read = 0;
  if (!::ReadFile(file, bytes.data(), static_cast<DWORD>(size), &read, nullptr) || read != size) {
    return std::nullopt;
  }
  return bytes;
}

// The icon of a local file that is an executable or a checked icon file; nothing for anything
// else (a link, a folder, a shortcut, a document: their icons would come from elsewhere).
UniqueIcon loadIcon(const std::wstring& path, int index) {
  // No one may change or rename the file while a system reader has it (readers may share).
  const win::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                 nullptr, OPEN_EXISTING,
                                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  // Not GetFileInformationByHandle: its volume serial costs more than the whole icon under Wine.
  FILE_BASIC_INFO info = {};
  LARGE_INTEGER length = {};
  if (!file || !::GetFileInformationByHandleEx(file.get(), FileBasicInfo, &info, sizeof info) ||
      (info.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
      !::GetFileSizeEx(file.get(), &length) || length.QuadPart < 0) {
    return {};
  }
  const auto size = static_cast<uint64_t>(length.QuadPart);
  const auto head =
      readAll(file.get(), static_cast<size_t>(std::min<uint64_t>(size, kSignatureBytes)));
  if (!head) return {};
  if (head->size() >= sizeof kExecutableSignature &&
      std::equal(std::begin(kExecutableSignature), std::end(kExecutableSignature), head->begin())) {
    return loadIconFromExecutable(path, index);
  }
  if (size > kMaxIconFileBytes || !hasIconFileSignature(*head)) return {};
  LARGE_INTEGER start = {};
  if (!::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return {};
  auto bytes = readAll(file.get(), static_cast<size_t>(size));
  if (!bytes) return {};
  return loadIconFromIconFile(std::move(*bytes));
}

bool isUsableIconPath(const std::wstring& path, LocalDrives& drives) {
  return drives.isLocal(path) && ::PathFileExistsW(path.c_str());
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

std::string iconToPngBase64(const std::wstring& displayIcon, const std::wstring& fallbackPath,
                            LocalDrives& drives) {
  IconLocation location;
  if (!displayIcon.empty()) {
    location = parseIconLocation(displayIcon);
    location.path = withoutSurroundingQuotes(location.path);
  }
  if (!isUsableIconPath(location.path, drives)) location.path = fallbackPath;
  if (!isUsableIconPath(location.path, drives)) return {};
  const UniqueIcon icon = loadIcon(location.path, location.index);
  if (!icon) return {};
  return iconToPng(icon.get());
}

}  // namespace tidvale::software
