// Writes the fuzzer's seed volumes into the folder given: small tables with folders, hard links,
// reparse points, an extension record, a table split in two runs (its attribute list in the
// record or in a cluster), and the damaged variants every reader must refuse; each cut after the
// table. Run by make_fuzz_seeds.sh.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "fs/mft/damaged_test_volumes.h"
#include "fs/mft/test_volume.h"

using namespace tidvale::fs::mft::test;

namespace {

void write(const std::string& folder, const char* name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(folder + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

TestVolume populated(bool split, bool listInClusters = false) {
  TestVolume volume(32, split, listInClusters);
  const uint64_t docs = volume.folder(16, volume.root(), u"Docs");
  volume.file(17, docs, u"a.txt", 10);
  volume.put(18, RecordBytes(1, 0x01)
                     .standardInformation(0x20, 1)
                     .fileName(docs, u"Long name.txt", 1)
                     .fileName(docs, u"LONGNA~1.TXT", 2)
                     .fileName(volume.root(), u"link", 0)
                     .residentData(40));
  volume.put(19, RecordBytes(1, 0x03)
                     .standardInformation(0x400, 1)
                     .fileName(volume.root(), u"junction")
                     .reparsePoint(0xA0000003)
                     .folderIndex());
  volume.put(20, RecordBytes(3, 0x01).standardInformation(0x20, 1).attributeList(
                     {{0x30, 0, reference(21, 1)}, {0x80, 0, reference(21, 1)}}));
  std::vector<uint8_t> runs = encodeRun(100, 1, 0);
  runs.push_back(0);
  volume.put(21, RecordBytes(1, 0x01, reference(20, 3))
                     .fileName(docs, u"spilled")
                     .nonResidentData(0, 99, 100000, runs));
  return volume;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  write(argv[1], "volume", populated(false).compactImage());
  write(argv[1], "split_table", populated(true).compactImage());
  write(argv[1], "split_table_list_in_a_cluster", populated(true, true).compactImage());
  int number = 0;
  for (DamagedVolume& damaged : damagedVolumes()) {
    damaged.image.resize(damaged.compactBytes);
    write(argv[1], ("damaged_" + std::to_string(++number)).c_str(), damaged.image);
  }
  write(argv[1], "one_record",
        RecordBytes(1, 0x01)
            .standardInformation(0x20, 1)
            .fileName(reference(5, 5), u"x")
            .residentData(3)
            .finish());
  return 0;
}
