#include "scanners/storage_scans.h"

#include "fs/extended_path.h"
#include "fs/win32_file_system.h"
#include "scanners/disk_usage.h"
#include "scanners/duplicate_finder.h"
#include "scanners/file_content_win.h"
#include "scanners/large_file_scanner.h"
#include "scanners/scan_engine.h"
#include "core/task_pool.h"
#include "win/text.h"

namespace tidvale {
namespace {

std::string utf8(std::wstring_view text) {
  return win::toUtf8(text);
}

// The folder a scan walks, as the paths it reports begin. A root that depends on the current
// folder or drive ("C:", "sub", "\x") is made full once, exactly as the walk reads it, so that
// every reported path names the file that was listed, whatever the current folder is later.
std::wstring scanRoot(const std::string& text) {
  const std::wstring root = win::pathFromUtf8(text).value_or(L"");
  if (root.empty() || fs::isFullyQualified(root)) return root;
  const std::optional<std::wstring> extended = fs::win32Path(root);
  return extended ? fs::plainPath(*extended) : root;
}

}  // namespace

EncodableMap scanLargeFiles(ServiceState& state, const std::string& root, int64_t minSize) {
  const std::wstring rootPath = scanRoot(root);
  const ScanFileSystem files = scanFileSystemFor(state, rootPath);
  return runLargeFileScan(state, files.get(), rootPath, minSize, utf8);
}

EncodableMap scanDuplicates(ServiceState& state, const std::string& root, int64_t minSize,
                            size_t workers) {
  const std::wstring rootPath = scanRoot(root);
  const ScanFileSystem files = scanFileSystemFor(state, rootPath);
  const DuplicateScanEnvironment environment{files.get(), makeWin32ContentReader,
                                             workers ? workers : defaultWorkerCount(), utf8};
  return runDuplicateScan(state, environment, rootPath, minSize);
}

EncodableMap analyzeDisk(ServiceState& state, const std::string& path, int64_t depth) {
  const std::wstring rootPath = scanRoot(path);
  const ScanFileSystem files = scanFileSystemFor(state, rootPath);
  // The depth travels as a 32-bit count of levels.
  return runDiskAnalysis(state, files.get(), path, rootPath, static_cast<int32_t>(depth), utf8);
}

}  // namespace tidvale
