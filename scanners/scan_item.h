#pragma once
// One reported file or folder of a scan, as the interface shows it and passes back for deletion.

#include <cstdint>
#include <string>

#include "channels/encodable_value.h"

namespace tidvale {

struct ScanItem {
  std::string path;  // full path, UTF-8
  std::string name;  // the text shown for the item
  int64_t size = 0;  // bytes
  bool isDir = false;
  int64_t modified = 0;  // last write, Unix seconds; 0 when not set
  std::string ext;       // extension, filled by the scans that report one

  // {"path", "name", "size", "isDir", "modified", "ext"}. Any thread.
  EncodableMap toEncodableMap() const;
};

}  // namespace tidvale
