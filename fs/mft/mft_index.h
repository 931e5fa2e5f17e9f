#pragma once
// The in-memory index of one NTFS volume, built from its master file table: per record number the
// figures a folder listing shows (attributes, reparse tag, length, last-write time), every name
// (interned in one pool) and each folder's children. Flat arrays indexed by record number; nothing
// is allocated per attribute or per name. Immutable once built, so any number of threads may read
// it at once.

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fs/mft/byte_source.h"

namespace tidvale::fs::mft {

inline constexpr uint32_t kRootRecord = 5;
inline constexpr uint32_t kUpcaseRecord = 10;
inline constexpr uint32_t kExtendRecord = 11;
// Records below this one are the volume's own metadata ($MFT to $Extend and reserved ones).
inline constexpr uint32_t kFirstUserRecord = 16;

inline constexpr uint8_t kNamespacePosix = 0;
inline constexpr uint8_t kNamespaceWin32 = 1;
inline constexpr uint8_t kNamespaceDos = 2;
inline constexpr uint8_t kNamespaceWin32AndDos = 3;

struct MftRecord {
  int64_t size = 0;           // length of the unnamed data stream; 0 for folders
  int64_t lastWriteTime = 0;  // Windows file time
  uint32_t attributes = 0;    // as a folder listing shows them (the folder bit included)
  uint32_t reparseTag = 0;
  uint16_t sequence = 0;
  uint8_t flags = 0;  // kInUse | kIsFolder

  static constexpr uint8_t kInUse = 1;
  static constexpr uint8_t kIsFolder = 2;
  static constexpr uint8_t kHasFolderIndex = 4;  // carries the index of a folder's names
  bool inUse() const { return (flags & kInUse) != 0; }
  bool isFolder() const { return (flags & kIsFolder) != 0; }
};

struct MftName {
  uint32_t record = 0;  // the file or folder that carries the name
  uint32_t parent = 0;  // the folder the name is in
  uint32_t text = 0;    // first unit in the name pool
  uint16_t parentSequence = 0;
  uint16_t ownerSequence = 0;  // the owner's sequence as the record holding the name expects it
  uint8_t length = 0;          // UTF-16 units
  uint8_t nameSpace = 0;
};

// The records by number, in blocks, so that they grow with the records read without copying
// what is already held (a vector's growth would hold the old and the new array at once).
class MftRecordBlocks {
 public:
  size_t size() const { return size_; }
  MftRecord& operator[](size_t number) {
    return blocks_[number >> kBlockBits][number & kBlockMask];
  }
  const MftRecord& operator[](size_t number) const {
    return blocks_[number >> kBlockBits][number & kBlockMask];
  }
  // Grows to `count` records, new ones zeroed; `limit` is the most there will ever be, so that
  // the last block holds no more than needed.
  void grow(size_t count, size_t limit);
  size_t memoryBytes() const;

 private:
  static constexpr size_t kBlockBits = 16;
  static constexpr size_t kBlockMask = (size_t{1} << kBlockBits) - 1;
  std::vector<std::unique_ptr<MftRecord[]>> blocks_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

class MftIndex {
 public:
  size_t recordCount() const { return records_.size(); }
  const MftRecord& record(uint32_t number) const { return records_[number]; }
  const MftName& name(uint32_t index) const { return names_[index]; }
  std::u16string_view text(const MftName& name) const {
    return {namePool_.data() + name.text, name.length};
  }
  // The names listed in `folder` (indices into the names), in the order of collatesBefore: every
  // hard link of a file once, no name of the DOS namespace alone, no metadata file, no orphan.
  std::span<const uint32_t> children(uint32_t folder) const;
  // NTFS's collation of file names: upper-cased by the volume's own table, then as stored.
  bool collatesBefore(std::u16string_view a, std::u16string_view b) const;
  char16_t upcase(char16_t unit) const { return upcase_[unit]; }
  uint64_t serialNumber() const { return serialNumber_; }
  // Bytes the index holds, for the benchmark's figure per file.
  size_t memoryBytes() const;

 private:
  friend class MftIndexBuilder;
  MftRecordBlocks records_;
  std::vector<MftName> names_;
  std::vector<char16_t> namePool_;
  std::vector<uint32_t> childStart_;  // per record, plus one: ranges of childNames_
  std::vector<uint32_t> childNames_;
  std::vector<char16_t> upcase_;
  uint64_t serialNumber_ = 0;
};

struct MftIndexResult {
  std::shared_ptr<const MftIndex> index;  // null on failure
  const char* failure = "";               // why, for diagnostics
  uint64_t recordsRead = 0;               // records of the table read before the end or failure
};

// Reads the volume behind `source` (its boot sector, the table's own runs, then every record in
// large sequential reads) and builds its index. Every length, offset, run and reference read is
// checked, and nothing is allocated for a record before it is read: the table's runs must lie
// inside the volume without sharing a cluster, and its length must fit both them and the volume.
// The index is served only as a tree (checkIndexIsTree): a volume that breaks any rule the index
// depends on gives a failure, never a partial or a guessed index. Never throws: running out of
// memory is a failure too. `cancel` (may be null) is read between reads. Runs on the caller's
// thread.
MftIndexResult buildMftIndex(ByteSource& source, const std::atomic<bool>* cancel = nullptr);

// Null when the index is a tree, else the damage found first:
// - every folder in use is reached exactly once, from the root or (the volume's own folders)
//   from $Extend, so no folder has two parents and no folders form a cycle;
// - no name occurs twice in one folder (compared unit by unit: names may differ only in case);
// - a record in use carries a folder's index of names exactly when it is flagged as a folder.
// Expects each folder's children in collation order, as the builder leaves them. Linear in the
// records and names.
const char* checkIndexIsTree(const MftIndex& index);

}  // namespace tidvale::fs::mft
