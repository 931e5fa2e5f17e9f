#include "removal/empty_bins.h"

namespace tidvale {

EmptyBinsResult emptyAllRecycleBins(ShellBinCalls& shell) {
  const BinQuery query = shell.queryAll();
  if (query.succeeded && query.items == 0) return EmptyBinsResult{true, 0};
  const int64_t bytesBefore = query.succeeded ? query.bytes : 0;
  return EmptyBinsResult{shell.emptyAll(), bytesBefore};
}

}  // namespace tidvale
