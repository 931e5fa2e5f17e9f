#include "scanners/storage_scans.h"

#include "fs/win32_file_system.h"
#include "scanners/disk_usage.h"
#include "scanners/duplicate_finder.h"
#include "scanners/file_content_win.h"
#include "scanners/large_file_scanner.h"
#include "scanners/scan_engine.h"
#include "scanners/task_pool.h"
#include "win/text.h"

namespace tidvale {
namespace {

std::string utf8(std::wstring_view text) {
  return win::toUtf8(text);
}

}  // namespace

EncodableMap scanLargeFiles(ServiceState& state, const std::string& root, int64_t minSize) {
  const std::wstring rootPath = win::pathFromUtf8(root).value_or(L"");
  const ScanFileSystem files = scanFileSystemFor(state, rootPath);
  return runLargeFileScan(state, files.get(), rootPath, minSize, utf8);
}

EncodableMap scanDuplicates(ServiceState& state, const std::string& root, int64_t minSize,
                            size_t workers) {
  const std::wstring rootPath = win::pathFromUtf8(root).value_or(L"");
  const ScanFileSystem files = scanFileSystemFor(state, rootPath);
  const DuplicateScanEnvironment environment{files.get(), makeWin32ContentReader,
                                             workers ? workers : defaultWorkerCount(), utf8};
  return runDuplicateScan(state, environment, rootPath, minSize);
}

EncodableMap analyzeDisk(ServiceState& state, const std::string& path, int64_t depth) {
  const std::wstring rootPath = win::pathFromUtf8(path).value_or(L"");
  const ScanFileSystem files = scanFileSystemFor(state, rootPath);
  // The depth travels as a 32-bit count of levels.
  return runDiskAnalysis(state, files.get(), path, rootPath, static_cast<int32_t>(depth), utf8);
}

}  // namespace tidvale
