#include "system/optimizer_figures.h"

namespace tidvale::system {

int64_t freedBytes(int64_t usedBefore, int64_t usedAfter) {
  return usedBefore > usedAfter ? usedBefore - usedAfter : 0;
}

EncodableMap optimizerReplyMap(const OptimizerFigures& figures) {
  return EncodableMap{
      {EncodableValue("ok"), EncodableValue(true)},
      {EncodableValue("error"), EncodableValue("")},
      {EncodableValue("before"), EncodableValue(figures.usedBefore)},
      {EncodableValue("after"), EncodableValue(figures.usedAfter)},
      {EncodableValue("freed"), EncodableValue(freedBytes(figures.usedBefore, figures.usedAfter))},
      {EncodableValue("trimmed"), EncodableValue(static_cast<int32_t>(figures.trimmed))},
  };
}

}  // namespace tidvale::system
