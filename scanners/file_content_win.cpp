#include "scanners/file_content_win.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <vector>

#include "scanners/extended_path.h"
#include "win/unique_resource.h"

namespace tidvale {
namespace {

constexpr DWORD kReadBufferBytes = 1048576;  // 1 MiB
constexpr ULONG kSha256Bytes = 32;
constexpr char kHexDigits[] = "0123456789abcdef";

void closeAlgorithm(BCRYPT_ALG_HANDLE handle) {
  ::BCryptCloseAlgorithmProvider(handle, 0);
}
void destroyHash(BCRYPT_HASH_HANDLE handle) {
  ::BCryptDestroyHash(handle);
}
using UniqueAlgorithm = win::UniqueResource<BCRYPT_ALG_HANDLE, 0, closeAlgorithm>;
using UniqueHash = win::UniqueResource<BCRYPT_HASH_HANDLE, 0, destroyHash>;

// The text to hand to a Win32 call, as the file-system seam forms it: as given while short, the
// extended-length form of its full path once it could exceed the classic limit.
std::wstring win32Path(const std::wstring& path) {
  if (path.size() < fs::kExtendedPathThreshold || fs::hasDevicePrefix(path)) return path;
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return path;
  full.resize(written);
  return fs::extendedLengthForm(full);
}

std::string hexOf(const UCHAR* bytes, size_t count) {
  std::string text;
  text.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    text.push_back(kHexDigits[bytes[i] >> 4]);
    text.push_back(kHexDigits[bytes[i] & 0xF]);
  }
  return text;
}

class Win32ContentReader final : public FileContentReader {
 public:
  Win32ContentReader() {
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(algorithm_.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
      algorithm_.reset();
    }
  }

  std::string digest(const std::wstring& path, int64_t expectedSize, int64_t limit) override {
    if (!algorithm_) return {};
    win::UniqueFileHandle file(::CreateFileW(win32Path(path).c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return {};
    if (expectedSize < 0) {
      LARGE_INTEGER size;
      if (!::GetFileSizeEx(file.get(), &size)) return {};
      expectedSize = size.QuadPart;
    }
    UniqueHash hash;
    if (!BCRYPT_SUCCESS(
            ::BCryptCreateHash(algorithm_.get(), hash.put(), nullptr, 0, nullptr, 0, 0))) {
      return {};
    }
    if (buffer_.empty()) buffer_.resize(kReadBufferBytes);

    // Read whole, the file must end exactly at its listed size; read in part, it must hold at
    // least `limit` bytes. Anything else is a file that changed or could not be read through.
    const bool whole = limit < 0 || limit >= expectedSize;
    const int64_t wanted = whole ? expectedSize : limit;
    int64_t total = 0;
    for (;;) {
      const DWORD ask =
          whole ? kReadBufferBytes
                : static_cast<DWORD>(std::min<int64_t>(wanted - total, kReadBufferBytes));
      if (ask == 0) break;
      DWORD read = 0;
      if (!::ReadFile(file.get(), buffer_.data(), ask, &read, nullptr)) return {};
      if (read == 0) break;
      total += read;
      if (total > wanted) return {};
      if (!BCRYPT_SUCCESS(::BCryptHashData(hash.get(), buffer_.data(), read, 0))) return {};
    }
    if (total != wanted) return {};

    UCHAR digest[kSha256Bytes];
    if (!BCRYPT_SUCCESS(::BCryptFinishHash(hash.get(), digest, kSha256Bytes, 0))) return {};
    return hexOf(digest, kSha256Bytes);
  }

  std::optional<FileIdentity> identity(const std::wstring& path) override {
    win::UniqueFileHandle file(::CreateFileW(
        win32Path(path).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    const uint64_t index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    // A file system without file indexes reports 0 for every file: no identity to compare.
    if (index == 0) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, index};
  }

 private:
  UniqueAlgorithm algorithm_;
  std::vector<UCHAR> buffer_;
};

}  // namespace

std::unique_ptr<FileContentReader> makeWin32ContentReader() {
  return std::make_unique<Win32ContentReader>();
}

std::string hashFile(const std::wstring& path, int64_t limit) {
  return makeWin32ContentReader()->digest(path, -1, limit);
}

}  // namespace tidvale
