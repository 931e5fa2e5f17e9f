#include "fs/mft/damaged_test_volumes.h"

#include <functional>

#include "fs/mft/test_volume.h"

namespace tidvale::fs::mft::test {
namespace {

constexpr uint32_t kRecords = 32;

void put64(std::vector<uint8_t>& bytes, size_t at, uint64_t value) {
  for (size_t i = 0; i < 8; ++i) bytes.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

// The honest volume every variant starts from: a folder, a file in it, one in the root.
TestVolume honest() {
  TestVolume volume(kRecords);
  const uint64_t docs = volume.folder(16, volume.root(), u"Docs");
  volume.file(17, docs, u"report.txt", 5 << 20);
  volume.file(18, volume.root(), u"big.bin", 3 << 20);
  return volume;
}

// Record 0 of `volume` holding the table's data in `runs` (end marker included), `records` long.
void tableRuns(TestVolume& volume, const std::vector<uint8_t>& runs, uint64_t records) {
  volume.put(0, RecordBytes(1, 0x01)
                    .standardInformation(0x06, 0)
                    .fileName(volume.root(), u"$MFT")
                    .nonResidentData(0, kRecords - 1, records * kTestRecordSize, runs));
}

std::vector<uint8_t> runs(std::initializer_list<std::pair<uint64_t, int64_t>> pieces) {
  std::vector<uint8_t> bytes;
  int64_t previous = 0;
  for (const auto& [length, lcn] : pieces) {
    const std::vector<uint8_t> run = encodeRun(length, lcn, previous);
    bytes.insert(bytes.end(), run.begin(), run.end());
    previous = lcn;
  }
  bytes.push_back(0);
  return bytes;
}

DamagedVolume variant(const char* what, const char* refusal,
                      const std::function<void(TestVolume&)>& damage,
                      const std::function<void(std::vector<uint8_t>&)>& patch = {}) {
  TestVolume volume = honest();
  damage(volume);
  DamagedVolume damaged{what, refusal, volume.image(), volume.compactBytes()};
  if (patch) patch(damaged.image);
  return damaged;
}

}  // namespace

std::vector<DamagedVolume> damagedVolumes() {
  const uint64_t root = reference(5, 5);
  const uint64_t docs = reference(16, 1);
  const int64_t table = kTestTableCluster;
  std::vector<DamagedVolume> variants;
  // The table's runs.
  variants.push_back(
      variant("a run that repeats the table's first clusters",
              "the table's runs overlap or are sparse", [&](TestVolume& v) {
                tableRuns(v, runs({{kRecords, table}, {kRecords, table}}), 2 * kRecords);
              }));
  variants.push_back(variant(
      "runs that overlap by one cluster", "the table's runs overlap or are sparse",
      [&](TestVolume& v) {
        tableRuns(v, runs({{kRecords / 2, table}, {kRecords / 2, table + kRecords / 2 - 1}}),
                  kRecords - 1);
      }));
  // The second half of a split table described by a record that is not an extension of record
  // 0: a base record, or an extension of another record.
  for (const uint64_t base : {uint64_t{0}, reference(7, 7)}) {
    TestVolume volume(kRecords, /*splitTable=*/true);
    const std::vector<uint8_t> second = runs({{kRecords / 2, table + kRecords + 4}});
    volume.put(15,
               RecordBytes(1, 0x01, base).nonResidentData(kRecords / 2, kRecords - 1, 0, second));
    variants.push_back({base == 0 ? "the table's runs continued in a base record"
                                  : "the table's runs continued in another record's extension",
                        "a piece of the table's runs cannot be read", volume.image(),
                        volume.compactBytes()});
  }
  variants.push_back(variant(
      "a sparse run in the table", "the table's runs overlap or are sparse", [&](TestVolume& v) {
        std::vector<uint8_t> sparse = runs({{kRecords, table}});
        sparse.insert(sparse.end() - 1, {0x01, 0x04});  // 4 clusters without a place
        tableRuns(v, sparse, kRecords + 4);
      }));
  // Counts the volume cannot hold.
  variants.push_back(variant(
      "a table of 2^31 records in a volume claiming 2^40 sectors",
      "the table's last record cannot be read",
      [&](TestVolume& v) {
        tableRuns(v, runs({{uint64_t{1} << 31, table}}), uint64_t{1} << 31);
      },
      [](std::vector<uint8_t>& image) { put64(image, 0x28, uint64_t{1} << 40); }));
  variants.push_back(variant(
      "a table longer than the volume", "the table's own record is damaged",
      [&](TestVolume& v) {
        tableRuns(v, runs({{kRecords, table}}), kRecords);
      },
      [](std::vector<uint8_t>& image) {
        put64(image, 0x28, 2 * (kTestTableCluster + kRecords / 2));
      }));
  variants.push_back(variant("a table whose length the runs do not hold",
                             "the table's runs are shorter than the table", [&](TestVolume& v) {
                               tableRuns(v, runs({{kRecords, table}}), 61'000'000);
                             }));
  // Folders whose place is ambiguous, and names listed twice.
  variants.push_back(variant("a folder whose parent is its own child",
                             "a folder is not reached from the root", [&](TestVolume& v) {
                               v.folder(20, reference(21, 1), u"a");
                               v.folder(21, reference(20, 1), u"b");
                             }));
  variants.push_back(
      variant("a folder with a second parent", "a folder is reached twice", [&](TestVolume& v) {
        v.put(20, RecordBytes(1, 0x03)
                      .standardInformation(0, 1)
                      .fileName(docs, u"inner")
                      .fileName(root, u"inner again")
                      .folderIndex());
      }));
  variants.push_back(variant("a folder's name placed before its real one",
                             "a folder is reached twice", [&](TestVolume& v) {
                               v.put(16, RecordBytes(1, 0x03)
                                             .standardInformation(0, 1)
                                             .fileName(reference(19, 1), u"Docs")
                                             .fileName(root, u"Docs")
                                             .folderIndex());
                               v.folder(19, root, u"elsewhere");
                             }));
  variants.push_back(
      variant("a folder nobody names", "a folder is not reached from the root", [&](TestVolume& v) {
        v.put(20, RecordBytes(1, 0x03).standardInformation(0, 1).folderIndex());
      }));
  variants.push_back(variant("a duplicated file-name attribute",
                             "a name occurs twice in one folder", [&](TestVolume& v) {
                               v.put(18, RecordBytes(1, 0x01)
                                             .standardInformation(0x20, 1)
                                             .fileName(root, u"big.bin")
                                             .fileName(root, u"big.bin")
                                             .residentData(100));
                             }));
  variants.push_back(variant("two records of one name in one folder",
                             "a name occurs twice in one folder",
                             [&](TestVolume& v) { v.file(20, docs, u"report.txt", 5 << 20); }));
  // Names in no folder in use.
  variants.push_back(variant("a file whose folder was deleted and its record reused",
                             "a name lies in no folder in use", [&](TestVolume& v) {
                               v.folder(20, root, u"reused", 0x10, 2);
                               v.file(21, reference(20, 1), u"orphan", 5);
                             }));
  variants.push_back(
      variant("a name in a file", "a name lies in no folder in use",
              [&](TestVolume& v) { v.file(20, reference(18, 1), u"inside a file", 1); }));
  variants.push_back(
      variant("a name in a record past the table", "a name lies in no folder in use",
              [&](TestVolume& v) { v.file(20, reference(5000, 1), u"past the table", 1); }));
  variants.push_back(variant("a file in itself", "a name lies in no folder in use",
                             [&](TestVolume& v) { v.file(20, reference(20, 1), u"self", 1); }));
  // Records flagged as what they are not.
  variants.push_back(variant("a file flagged as a folder",
                             "a record flagged as a folder has no index of names",
                             [&](TestVolume& v) {
                               v.put(17, RecordBytes(1, 0x03)
                                             .standardInformation(0x20, 1)
                                             .fileName(docs, u"report.txt")
                                             .residentData(200));
                             }));
  variants.push_back(variant(
      "a folder index in a record not flagged as a folder",
      "a record not flagged as a folder has an index of names", [&](TestVolume& v) {
        v.put(
            20,
            RecordBytes(1, 0x01).standardInformation(0, 1).fileName(root, u"Empty").folderIndex());
      }));
  variants.push_back(variant("a folder whose index is named like another one",
                             "a record flagged as a folder has no index of names",
                             [&](TestVolume& v) {
                               v.put(16, RecordBytes(1, 0x03)
                                             .standardInformation(0, 1)
                                             .fileName(root, u"Docs")
                                             .folderIndex(u"#I30"));
                             }));
  variants.push_back(
      variant("a root that is not a folder", "the root folder is missing", [&](TestVolume& v) {
        v.put(5, RecordBytes(5, 0x01).standardInformation(0x16, 0).fileName(root, u"."));
        for (const uint32_t number : {16, 17, 18}) v.put(number, RecordBytes(1, 0x00));  // empty
      }));
  return variants;
}

}  // namespace tidvale::fs::mft::test
