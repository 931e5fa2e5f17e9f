#pragma once
// File contents and identities on the real file system: SHA-256 through the system's CNG
// provider, identities from GetFileInformationByHandle.

#include <cstdint>
#include <memory>
#include <string>

#include "scanners/file_content.h"

namespace tidvale {

// A reader that keeps one SHA-256 provider and one 1 MiB buffer for all the files it hashes.
// Files are opened for reading with read and write sharing and the sequential-scan hint; long
// paths get the extended-length form.
std::unique_ptr<FileContentReader> makeWin32ContentReader();

// The lower-case hexadecimal SHA-256 of the file's first `limit` bytes, or of the whole file when
// `limit` is negative or beyond its end; "" when the file cannot be opened or read as far as
// that. Any thread.
std::string hashFile(const std::wstring& path, int64_t limit);

}  // namespace tidvale
