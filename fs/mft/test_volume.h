#pragma once
// Small NTFS volumes built byte by byte from the on-disk format, for the reader's tests and the
// fuzzer's seeds: a boot sector, a master file table of a few dozen records (optionally split in
// two runs, the second described by an extension record of the table itself), the upper-case
// table, and records assembled attribute by attribute.

#include <cstdint>
#include <string>
#include <vector>

namespace tidvale::fs::mft::test {

inline constexpr uint32_t kTestSector = 512;
inline constexpr uint32_t kTestCluster = 1024;
inline constexpr uint32_t kTestRecordSize = 1024;
inline constexpr uint32_t kTestTableCluster = 4;

// A file reference from a record number and its sequence number.
constexpr uint64_t reference(uint64_t record, uint16_t sequence) {
  return record | (uint64_t{sequence} << 48);
}

// One file record, its attributes appended in order; finish() writes the end marker, the sizes
// and the update sequence.
class RecordBytes {
 public:
  explicit RecordBytes(uint16_t sequence, uint16_t flags, uint64_t base = 0);

  RecordBytes& standardInformation(uint32_t attributes, uint64_t lastWrite);
  RecordBytes& fileName(uint64_t parent, const std::u16string& name, uint8_t nameSpace = 1);
  RecordBytes& residentData(size_t bytes, const std::u16string& streamName = u"");
  // `runs`: encoded data runs, end marker included.
  RecordBytes& nonResidentData(uint64_t startVcn, uint64_t lastVcn, uint64_t size,
                               const std::vector<uint8_t>& runs,
                               const std::u16string& streamName = u"");
  RecordBytes& reparsePoint(uint32_t tag);
  // The index of a folder's names ($I30), which every folder record carries (its entries are
  // never read: the names come from the records themselves).
  RecordBytes& folderIndex(const std::u16string& name = u"$I30");
  // Entries (type, start cluster, reference) of a resident attribute list.
  struct ListEntry {
    uint32_t type;
    uint64_t startVcn;
    uint64_t reference;
  };
  RecordBytes& attributeList(const std::vector<ListEntry>& entries);
  // A non-resident attribute list of `size` bytes in the clusters `runs` (end marker included).
  RecordBytes& attributeListInClusters(uint64_t size, const std::vector<uint8_t>& runs);
  static std::vector<uint8_t> listBytes(const std::vector<ListEntry>& entries);
  // Raw attribute bytes (header included), for malformed cases.
  RecordBytes& raw(const std::vector<uint8_t>& attribute);

  // The record, protected by its update sequence (the check value `usn`).
  std::vector<uint8_t> finish(uint16_t usn = 0x0101) const;

 private:
  void resident(uint32_t type, const std::vector<uint8_t>& value, const std::u16string& name);
  std::vector<uint8_t> bytes_;
};

// Encodes one data run (cluster count and start, relative to `previousLcn`).
std::vector<uint8_t> encodeRun(uint64_t length, int64_t lcn, int64_t previousLcn);

// A volume: records 0 to 15 are the metadata files, the root is record 5; further records are
// set with put(). The table and the upper-case table are placed by image().
class TestVolume {
 public:
  // `records`: the table's length in records; `splitTable`: store the table in two runs, the
  // second one described by record 15 through an attribute list in record 0; `listInClusters`:
  // split so, with that list kept in a cluster of its own (as a fragmented table's is) and the
  // table's name in its last record, an extension of record 0.
  explicit TestVolume(uint32_t records = 64, bool splitTable = false, bool listInClusters = false);

  void put(uint32_t number, const RecordBytes& record);
  void putRaw(uint32_t number, const std::vector<uint8_t>& bytes);
  // Adds a plain file or folder record in use with one Win32 name; returns its reference.
  uint64_t file(uint32_t number, uint64_t parent, const std::u16string& name, uint64_t size,
                uint32_t attributes = 0x20, uint16_t sequence = 1);
  uint64_t folder(uint32_t number, uint64_t parent, const std::u16string& name,
                  uint32_t attributes = 0x10, uint16_t sequence = 1);

  uint64_t root() const { return reference(5, 5); }
  std::vector<uint8_t> image() const;
  // The image with everything after the table cut off (the fuzzer extends it with zeros).
  std::vector<uint8_t> compactImage() const;
  size_t compactBytes() const;

 private:
  uint32_t listCluster() const;

  uint32_t records_;
  bool split_;
  std::vector<uint8_t> list_;  // the table's attribute list when it lies in a cluster
  std::vector<std::vector<uint8_t>> table_;
};

}  // namespace tidvale::fs::mft::test
