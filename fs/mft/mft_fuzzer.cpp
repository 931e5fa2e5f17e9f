// libFuzzer target: the master-file-table reader over arbitrary bytes. The input is read twice:
// its first bytes as one file record (fixups, header, every attribute and its runs), and the
// whole input as a small volume, zero-extended to a few MiB so that a seed need not carry the
// 128 KiB upper-case table; a volume that builds is then walked through the listing side. No
// read may leave the bytes given, no walk may loop, whatever the lengths and references say.
// An index that builds must also keep, checked here on their own terms (any break traps):
// - no name twice in one folder, and no more records than were read;
// - memory within a small multiple of the table's bytes read (plus the upper-case table);
// - a tree: each folder reached once, from the root or $Extend, and every folder in use reached.
// The seeds (fuzz_seeds/, written by make_fuzz_seeds.sh) include damaged volumes of each kind.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fs/mft/boot_sector.h"
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

void check(bool holds) {
  if (!holds) __builtin_trap();
}

void checkNoNameTwice(const MftIndex& index) {
  std::vector<std::pair<uint32_t, std::u16string_view>> listed;
  for (uint32_t folder = 0; folder < index.recordCount(); ++folder) {
    for (const uint32_t name : index.children(folder)) {
      listed.emplace_back(folder, index.text(index.name(name)));
    }
  }
  std::sort(listed.begin(), listed.end());
  check(std::adjacent_find(listed.begin(), listed.end()) == listed.end());
}

void checkTree(const MftIndex& index) {
  std::vector<uint8_t> reached(index.recordCount(), 0);
  std::vector<uint32_t> pending{kRootRecord};
  if (index.record(kExtendRecord).isFolder()) pending.push_back(kExtendRecord);
  for (const uint32_t top : pending) reached[top] = 1;
  while (!pending.empty()) {
    const uint32_t folder = pending.back();
    pending.pop_back();
    for (const uint32_t name : index.children(folder)) {
      const uint32_t child = index.name(name).record;
      check(index.name(name).parent == folder && child >= kFirstUserRecord);
      if (!index.record(child).isFolder()) continue;
      check(!reached[child]);
      reached[child] = 1;
      pending.push_back(child);
    }
  }
  for (uint32_t number = kFirstUserRecord; number < index.recordCount(); ++number) {
    check(!index.record(number).inUse() || !index.record(number).isFolder() || reached[number]);
  }
}

void checkInvariants(const MftIndex& index, uint64_t recordsRead, const uint8_t* data,
                     size_t size) {
  std::vector<uint8_t> boot(kBootSectorBytes, 0);
  std::memcpy(boot.data(), data, std::min(size, boot.size()));
  const auto geometry = parseBootSector(boot);
  check(geometry.has_value());
  check(index.recordCount() <= recordsRead);
  const uint64_t tableBytes = recordsRead * geometry->recordSize;
  check(index.memoryBytes() <= 4 * tableBytes + (256u << 10));
  checkNoNameTwice(index);
  checkTree(index);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  parseOneRecord(data, size);
  ZeroExtendedSource source(data, size);
  const MftIndexResult result = buildMftIndex(source);
  if (!result.index) return 0;
  checkInvariants(*result.index, result.recordsRead, data, size);
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
