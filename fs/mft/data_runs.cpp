#include "fs/mft/data_runs.h"

namespace tidvale::fs::mft {
namespace {

// A little-endian integer of `width` bytes (1 to 8), sign-extended when `isSigned`.
uint64_t readVariable(Bytes bytes, size_t at, unsigned width, bool isSigned) {
  uint64_t value = 0;
  for (unsigned i = 0; i < width; ++i) value |= uint64_t{bytes[at + i]} << (8 * i);
  if (isSigned && width < 8 && (bytes[at + width - 1] & 0x80) != 0) {
    value |= ~uint64_t{0} << (8 * width);
  }
  return value;
}

}  // namespace

bool decodeDataRuns(Bytes encoded, uint64_t startVcn, uint64_t volumeClusters, size_t maxRuns,
                    std::vector<DataRun>& runs) {
  uint64_t vcn = startVcn;
  int64_t lcn = 0;  // offsets are relative to the previous run's start
  size_t at = 0;
  while (at < encoded.size()) {
    const uint8_t header = encoded[at++];
    if (header == 0) return true;
    const unsigned lengthWidth = header & 0x0F;
    const unsigned offsetWidth = header >> 4;
    if (lengthWidth == 0 || lengthWidth > 8 || offsetWidth > 8) return false;
    if (!fits(encoded.size(), at, size_t{lengthWidth} + offsetWidth)) return false;
    const uint64_t length = readVariable(encoded, at, lengthWidth, false);
    at += lengthWidth;
    if (length == 0 || length > volumeClusters || vcn > UINT64_MAX - length) return false;

    DataRun run{vcn, length, kSparseRun};
    if (offsetWidth != 0) {
      const int64_t delta = static_cast<int64_t>(readVariable(encoded, at, offsetWidth, true));
      at += offsetWidth;
      if ((delta > 0 && lcn > INT64_MAX - delta) || (delta < 0 && lcn < INT64_MIN - delta)) {
        return false;
      }
      lcn += delta;
      if (lcn < 0 || static_cast<uint64_t>(lcn) > volumeClusters - length) return false;
      run.lcn = lcn;
    }
    if (runs.size() >= maxRuns) return false;
    runs.push_back(run);
    vcn += length;
  }
  return false;  // no end marker inside the attribute
}

}  // namespace tidvale::fs::mft
