#include "scanners/scan_item.h"

namespace tidvale {

EncodableMap ScanItem::toEncodableMap() const {
  return EncodableMap{
      {EncodableValue("path"), EncodableValue(path)},
      {EncodableValue("name"), EncodableValue(name)},
      {EncodableValue("size"), EncodableValue(size)},
      {EncodableValue("isDir"), EncodableValue(isDir)},
      {EncodableValue("modified"), EncodableValue(modified)},
      {EncodableValue("ext"), EncodableValue(ext)},
  };
}

}  // namespace tidvale
