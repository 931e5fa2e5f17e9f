#pragma once
// The seam through which the duplicate finder reads files: content digests and file identities.
// The Win32 reader (scanners/file_content_win.h) hashes with the system's SHA-256; tests use an
// in-memory one.
//
// A file's digests are taken in two steps so that no byte is read twice: the beginning (its
// first 64 KiB, or all of a smaller file) first; then, only for files whose beginning matched
// another's, the rest, continuing from the hash state the first step left.

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

// Which file a path names: two hard links of one file share the volume and the file id (its low
// and high 64 bits).
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  uint64_t indexHigh = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

// The hash state after a file's beginning, kept to digest the rest without reading the
// beginning again. Owned by one file's matching; released once that file is decided.
class DigestContinuation {
 public:
  virtual ~DigestContinuation() = default;
};

struct BeginningDigest {
  // 64 lower-case hexadecimal digits; "" when the beginning could not be read whole.
  std::string digest;
  // Set when the file is longer than its beginning and the state could be kept; null otherwise
  // (the rest is then digested from the first byte).
  std::unique_ptr<DigestContinuation> continuation;
};

// One per worker thread: it may keep a provider and a buffer between calls, and is never used by
// two threads at once. A continuation goes back to a reader of the same kind, on any worker.
class FileContentReader {
 public:
  virtual ~FileContentReader() = default;

  // The SHA-256 of the first min(`expectedSize`, 64 KiB) bytes. A file of at most 64 KiB must end
  // exactly at `expectedSize` (its digest is then its full digest); a longer one must hold at
  // least 64 KiB. Otherwise, or when it cannot be opened or read, the digest is "".
  virtual BeginningDigest digestBeginning(const std::wstring& path, int64_t expectedSize) = 0;

  // The SHA-256 of the whole file, which must end exactly at `expectedSize`: "" when it cannot be
  // opened or read, or holds fewer or more bytes (it changed since it was listed). Continues from
  // `from` when given (reading only what follows the beginning), else reads from the start.
  virtual std::string digestWhole(const std::wstring& path, int64_t expectedSize,
                                  DigestContinuation* from) = 0;

  // The file's identity; std::nullopt when it cannot be read.
  virtual std::optional<FileIdentity> identity(const std::wstring& path) = 0;
};

// Makes one reader; called on the worker thread that will use it.
using ContentReaderFactory = std::function<std::unique_ptr<FileContentReader>()>;

}  // namespace tidvale
