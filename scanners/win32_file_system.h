#pragma once
// The real file system behind the seam, over Win32 file calls. Long paths get the extended-length
// form internally; callers see their paths exactly as they gave them.

#include "scanners/file_system.h"

namespace tidvale::fs {

// The process-wide Win32 file system. Stateless, so any thread may use it at any time.
FileSystem& systemFileSystem();

}  // namespace tidvale::fs
