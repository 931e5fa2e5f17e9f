#pragma once
// The seam through which the duplicate finder reads files: content digests and file identities.
// The Win32 reader (scanners/file_content_win.h) hashes with the system's SHA-256; tests use an
// in-memory one.

#include <compare>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tidvale {

// The bytes whose digest stands for a file's beginning. A file no longer than this has its
// partial digest as its full one.
inline constexpr int64_t kPartialDigestBytes = 65536;

// Which file a path names: two hard links of one file share the volume and the index.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

// One per worker thread: it may keep a provider and a buffer between calls, and is never used by
// two threads at once.
class FileContentReader {
 public:
  virtual ~FileContentReader() = default;

  // The 64 lower-case hexadecimal digits of the SHA-256 of the file's first `limit` bytes, or of
  // the whole file when `limit` is negative or at least `expectedSize`. "" when the file cannot
  // be opened, a read fails, or it holds fewer bytes than that (or, read whole, more than
  // `expectedSize`): a file that changed since it was listed, or one read short, has no digest.
  // A negative `expectedSize` takes the size the open file reports.
  virtual std::string digest(const std::wstring& path, int64_t expectedSize, int64_t limit) = 0;

  // The file's identity; std::nullopt when it cannot be read.
  virtual std::optional<FileIdentity> identity(const std::wstring& path) = 0;
};

// Makes one reader; called on the worker thread that will use it.
using ContentReaderFactory = std::function<std::unique_ptr<FileContentReader>()>;

}  // namespace tidvale
