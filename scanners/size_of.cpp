#include "scanners/size_of.h"

#include "scanners/path_walks.h"
#include "scanners/scan_engine.h"

namespace tidvale {

EncodableMap sizeOf(ServiceState& state, const std::wstring& path) {
  const ScanFileSystem files = scanFileSystemFor(state, path);
  return EncodableMap{
      {EncodableValue("size"), EncodableValue(measurePath(files.get(), path, state.cancelFlag))}};
}

}  // namespace tidvale
