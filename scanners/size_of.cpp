#include "scanners/size_of.h"

#include "scanners/system_walks.h"

namespace tidvale {

EncodableMap sizeOf(ServiceState& state, const std::wstring& path) {
  return EncodableMap{{EncodableValue("size"), EncodableValue(measurePath(state, path))}};
}

}  // namespace tidvale
