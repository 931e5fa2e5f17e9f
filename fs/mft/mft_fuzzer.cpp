// libFuzzer target: the master-file-table reader over arbitrary bytes. The input is read twice:
// its first bytes as one file record (fixups, header, every attribute and its runs), and the
// whole input as a small volume, zero-extended to a few MiB so that a seed need not carry the
// 128 KiB upper-case table; a volume that builds is then walked through the listing side. No
// read may leave the bytes given, no walk may loop, whatever the lengths and references say.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fs/mft/data_runs.h"
#include "fs/mft/file_record.h"
#include "fs/mft/mft_file_system.h"
#include "fs/mft/mft_index.h"
#include "fs/walker.h"

namespace {

using namespace tidvale::fs;
using namespace tidvale::fs::mft;

constexpr uint64_t kVolumeLimit = 4u << 20;

class ZeroExtendedSource final : public ByteSource {
 public:
  ZeroExtendedSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool read(uint64_t offset, std::span<uint8_t> into) override {
    if (offset > kVolumeLimit || into.size() > kVolumeLimit - offset) return false;
    std::memset(into.data(), 0, into.size());
    if (offset < size_) {
      const size_t copied = static_cast<size_t>(std::min<uint64_t>(into.size(), size_ - offset));
      std::memcpy(into.data(), data_ + offset, copied);
    }
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

void parseOneRecord(const uint8_t* data, size_t size) {
  std::vector<uint8_t> record(1024, 0);
  std::memcpy(record.data(), data, std::min<size_t>(size, record.size()));
  if (!applyFixups(record)) return;
  const auto header = readRecordHeader(record);
  if (!header) return;
  AttributeReader attributes(record, *header);
  Attribute attribute;
  std::vector<DataRun> runs;
  while (attributes.next(attribute)) {
    if (attribute.nonResident)
      decodeDataRuns(attribute.runs, attribute.startVcn, 1u << 20, 64, runs);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  parseOneRecord(data, size);
  ZeroExtendedSource source(data, size);
  const MftIndexResult result = buildMftIndex(source);
  if (!result.index) return 0;
  MftFileSystem fileSystem(result.index, L"N:");
  std::atomic<bool> cancel{false};
  size_t visited = 0;
  walkTree(fileSystem, L"N:\\", cancel, [&](const WalkEntry& item) {
    (void)fileSystem.status(item.path, false);
    // A folder has one place, so a walk sees each name at most once.
    if (++visited > result.index->recordCount() * 2 + 64) __builtin_trap();
    return true;
  });
  return 0;
}
