#pragma once
// Damaged copies of one small volume, each breaking one rule the table engine must not trust:
// runs that repeat clusters, counts the volume cannot hold, names that make a folder's place
// ambiguous, records flagged as what they are not. The reader's tests expect each to be refused;
// the fuzzer starts from them (mft_seed_writer).

#include <string>
#include <vector>

namespace tidvale::fs::mft::test {

struct DamagedVolume {
  const char* what;
  const char* refusal;         // the reader's failure
  std::vector<uint8_t> image;  // the whole volume
  size_t compactBytes;         // how much of it a fuzzer's seed keeps (the rest reads as zeros)
};

std::vector<DamagedVolume> damagedVolumes();

}  // namespace tidvale::fs::mft::test
