#include "scanners/system_walks.h"

#include "fs/win32_file_system.h"

namespace tidvale {

int64_t measurePath(ServiceState& state, const std::wstring& path) {
  return measurePath(fs::systemFileSystem(), path, state.cancelFlag);
}

void walkFiles(ServiceState& state, const std::wstring& root, const FileVisitor& visit) {
  walkFiles(fs::systemFileSystem(), root, state.cancelFlag, visit);
}

int64_t fileTimeToUnixSeconds(const std::wstring& path) {
  return fileTimeToUnixSeconds(fs::systemFileSystem(), path);
}

}  // namespace tidvale
