#include "scanners/file_content_win.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <vector>

#include "core/lower_hex.h"
#include "fs/win32_file_id.h"
#include "fs/win32_file_system.h"
#include "win/bcrypt_resource.h"
#include "win/unique_resource.h"

namespace tidvale {
namespace {

constexpr DWORD kReadBufferBytes = 1048576;  // 1 MiB
constexpr ULONG kSha256Bytes = 32;

using UniqueAlgorithm = win::UniqueAlgorithmHandle;
using UniqueHash = win::UniqueHashHandle;

// Paths reach Win32 in the extended-length form, as in the file-system seam; a path that names
// nothing opens nothing.
win::UniqueFileHandle openForReading(const std::wstring& path) {
  const std::optional<std::wstring> target = fs::win32Path(path);
  if (!target) return {};
  return win::UniqueFileHandle(::CreateFileW(target->c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// The hash state after a file's beginning; the hash object is the continuation's own copy.
class HashContinuation final : public DigestContinuation {
 public:
  explicit HashContinuation(UniqueHash hash) : hash(std::move(hash)) {}
  UniqueHash hash;
};

class Win32ContentReader final : public FileContentReader {
 public:
  Win32ContentReader() {
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(algorithm_.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
      algorithm_.reset();
    }
  }

  BeginningDigest digestBeginning(const std::wstring& path, int64_t expectedSize) override {
    BeginningDigest result;
    win::UniqueFileHandle file = openForReading(path);
    UniqueHash hash = newHash();
    if (!file || !hash) return result;
    // A file no longer than its beginning is read to its end, which must be where it was listed.
    const bool whole = expectedSize <= kPartialDigestBytes;
    if (!hashSpan(file.get(), hash.get(), whole ? expectedSize : kPartialDigestBytes, whole)) {
      return result;
    }
    if (!whole) {
      UniqueHash copy;
      if (BCRYPT_SUCCESS(::BCryptDuplicateHash(hash.get(), copy.put(), nullptr, 0, 0))) {
        result.continuation = std::make_unique<HashContinuation>(std::move(copy));
      }
    }
    result.digest = finish(hash.get());
    if (result.digest.empty()) result.continuation.reset();
    return result;
  }

  std::string digestWhole(const std::wstring& path, int64_t expectedSize,
                          DigestContinuation* from) override {
    win::UniqueFileHandle file = openForReading(path);
    if (!file) return {};
    auto* continuation = dynamic_cast<HashContinuation*>(from);
    UniqueHash fresh;
    BCRYPT_HASH_HANDLE hash = nullptr;
    int64_t start = 0;
    if (continuation && continuation->hash) {
      LARGE_INTEGER offset;
      offset.QuadPart = kPartialDigestBytes;
      if (!::SetFilePointerEx(file.get(), offset, nullptr, FILE_BEGIN)) return {};
      hash = continuation->hash.get();
      start = kPartialDigestBytes;
    } else {
      fresh = newHash();
      if (!fresh) return {};
      hash = fresh.get();
    }
    if (!hashSpan(file.get(), hash, expectedSize - start, /*toEnd=*/true)) return {};
    return finish(hash);
  }

  std::optional<FileIdentity> identity(const std::wstring& path) override {
    const std::optional<std::wstring> target = fs::win32Path(path);
    if (!target) return std::nullopt;
    win::UniqueFileHandle file(::CreateFileW(
        target->c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return std::nullopt;
    // The 128-bit id: on ReFS (Dev Drive among them) the 64-bit index is not unique.
    const std::optional<fs::FileId> id = fs::fileIdOf(file.get());
    // A file system without file ids reports 0 for every file: no identity to compare.
    if (!id || (id->low == 0 && id->high == 0)) return std::nullopt;
    return FileIdentity{id->volume, id->low, id->high};
  }

  // hashFile: the first `limit` bytes, or all when `limit` is negative or beyond the end.
  std::string digestPrefix(const std::wstring& path, int64_t limit) {
    win::UniqueFileHandle file = openForReading(path);
    UniqueHash hash = newHash();
    if (!file || !hash) return {};
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size)) return {};
    const bool whole = limit < 0 || limit >= size.QuadPart;
    if (!hashSpan(file.get(), hash.get(), whole ? size.QuadPart : limit, whole)) return {};
    return finish(hash.get());
  }

 private:
  UniqueHash newHash() {
    UniqueHash hash;
    if (!algorithm_ || !BCRYPT_SUCCESS(::BCryptCreateHash(algorithm_.get(), hash.put(), nullptr, 0,
                                                          nullptr, 0, 0))) {
      hash.reset();
    }
    return hash;
  }

  // Feeds the next `length` bytes of `file` to `hash`. False on a read or hash failure, when the
  // file ends before `length` bytes, or, with `toEnd`, when it goes on past them.
  bool hashSpan(HANDLE file, BCRYPT_HASH_HANDLE hash, int64_t length, bool toEnd) {
    if (buffer_.empty()) buffer_.resize(kReadBufferBytes);
    int64_t total = 0;
    for (;;) {
      // Reading to the end asks for a full buffer, so that bytes past `length` show.
      const DWORD ask =
          toEnd ? kReadBufferBytes
                : static_cast<DWORD>(std::min<int64_t>(length - total, kReadBufferBytes));
      if (ask == 0) break;
      DWORD read = 0;
      if (!::ReadFile(file, buffer_.data(), ask, &read, nullptr)) return false;
      if (read == 0) break;
      total += read;
      if (total > length) return false;
      if (!BCRYPT_SUCCESS(::BCryptHashData(hash, buffer_.data(), read, 0))) return false;
    }
    return total == length;
  }

  static std::string finish(BCRYPT_HASH_HANDLE hash) {
    UCHAR digest[kSha256Bytes];
    if (!BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest, kSha256Bytes, 0))) return {};
    return lowerHex(digest);
  }

  UniqueAlgorithm algorithm_;
  std::vector<UCHAR> buffer_;
};

}  // namespace

std::unique_ptr<FileContentReader> makeWin32ContentReader() {
  return std::make_unique<Win32ContentReader>();
}

std::string hashFile(const std::wstring& path, int64_t limit) {
  return Win32ContentReader().digestPrefix(path, limit);
}

}  // namespace tidvale
