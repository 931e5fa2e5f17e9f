#pragma once
// The identity of an open file or folder, read through its handle. Win32 side of the seam.

#include <optional>

#include "fs/file_system.h"

namespace tidvale::fs {

// The volume serial number and 128-bit file id of the object `handle` is open on (FILE_ID_INFO),
// or, where the file system cannot give that, the 64-bit index of BY_HANDLE_FILE_INFORMATION.
// Nothing when neither can be read. On ReFS only the 128-bit id is unique. Any thread.
std::optional<FileId> fileIdOf(void* handle);

}  // namespace tidvale::fs
