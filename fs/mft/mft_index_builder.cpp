#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "fs/file_system.h"
#include "fs/mft/boot_sector.h"
#include "fs/mft/file_record.h"
#include "fs/mft/mft_index.h"
#include "fs/mft/mft_table_place.h"
#include "fs/mft/stream_reader.h"

namespace tidvale::fs::mft {
namespace {

// Reads of the table go in chunks of this many bytes (a whole number of records): small enough
// that a chunk is still in the processor's cache when its records are parsed, large enough that
// the calls cost nothing beside the copy.
constexpr size_t kChunkBytes = 1u << 20;
constexpr size_t kChunkAlignment = 4096;
constexpr uint64_t kUpcaseBytes = 65536 * 2;
// Room for the names kept per record read, grown as records are read (most names are shorter).
constexpr size_t kNameUnitsPerRecord = 16;
// A name's folder when the name says one past the table.
constexpr uint32_t kNoFolder = UINT32_MAX;
// The name of the index that makes a record a folder.
constexpr char16_t kFolderIndexName[] = u"$I30";

// Standard information: last-write time and attributes.
constexpr size_t kLastWriteAt = 0x08;
constexpr size_t kAttributesAt = 0x20;
constexpr size_t kStandardInformationBytes = 0x24;
// File name: parent reference, name length and namespace, then the name.
constexpr size_t kParentAt = 0x00;
constexpr size_t kNameLengthAt = 0x40;
constexpr size_t kNamespaceAt = 0x41;
constexpr size_t kNameAt = 0x42;

// Attribute bits NTFS keeps in the standard information that a listing never shows.
constexpr uint32_t kNotListedAttributes = 0x10000000 | 0x20000000;

// Figures from an extension record, applied to its base record once every record is read and
// only if the base record is still the one the extension names.
struct Extension {
  enum class Kind : uint8_t { Size, ReparseTag, FolderIndex };
  uint32_t base;
  uint16_t baseSequence;
  Kind kind;
  uint64_t value;
};

// Whether an index root is the index of a folder's names (not a view index such as $O or $SDH).
bool namesFolderIndex(const Attribute& attribute) {
  if (attribute.nameLength != 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    if (readU16(attribute.name, 2 * i) != kFolderIndexName[i]) return false;
  }
  return true;
}

// Grows `items` to hold at least `needed`, doubling but never past `limit` (when `limit` allows),
// so that memory follows what was read and ends exact when the table's length is reached.
template <typename Item>
void reserveFor(std::vector<Item>& items, size_t needed, size_t limit) {
  if (items.capacity() >= needed) return;
  items.reserve(std::max(needed, std::min(limit, 2 * items.capacity())));
}

}  // namespace

class MftIndexBuilder {
 public:
  MftIndexBuilder(ByteSource& source, const std::atomic<bool>* cancel)
      : source_(source), cancel_(cancel), index_(std::make_shared<MftIndex>()) {}

  MftIndexResult build() {
    const char* failure = nullptr;
    try {
      failure = readAll();
      if (!failure) failure = finish();
    } catch (const std::bad_alloc&) {
      failure = "the index does not fit in memory";
    } catch (...) {
      failure = "reading the table failed";
    }
    if (failure) return {nullptr, failure, recordsRead_};
    return {std::move(index_), "", recordsRead_};
  }

 private:
  // Null on success, else why not.
  const char* readAll() {
    std::vector<uint8_t> boot(kBootSectorBytes);
    if (!source_.read(0, boot)) return "the boot sector cannot be read";
    const std::optional<VolumeGeometry> geometry = parseBootSector(boot);
    if (!geometry) return "not an NTFS boot sector";
    geometry_ = *geometry;
    index_->serialNumber_ = geometry_.serialNumber;
    if (const char* failure = readTablePlace(source_, geometry_, table_, recordCount_)) {
      return failure;
    }
    if (const char* failure = readUpcase()) return failure;
    return readRecords();
  }

  bool cancelled() const { return cancel_ != nullptr && cancel_->load(); }

  // The volume's upper-case table, which orders names in folder listings.
  const char* readUpcase() {
    std::vector<uint8_t> record(geometry_.recordSize);
    StreamPlace upcase;
    if (!readStream(source_, table_.runs, geometry_.bytesPerCluster,
                    uint64_t{kUpcaseRecord} * geometry_.recordSize, record) ||
        !readDataPlace(record, 0, geometry_.clusterCount(), upcase) ||
        upcase.size != kUpcaseBytes || !checkContiguous(upcase.runs)) {
      return "the upper-case table cannot be found";
    }
    std::vector<uint8_t> bytes(kUpcaseBytes);
    if (!readStream(source_, upcase.runs, geometry_.bytesPerCluster, 0, bytes)) {
      return "the upper-case table cannot be read";
    }
    index_->upcase_.resize(kUpcaseBytes / 2);
    for (size_t i = 0; i < index_->upcase_.size(); ++i) {
      index_->upcase_[i] = static_cast<char16_t>(readU16(bytes, 2 * i));
    }
    return nullptr;
  }

  const char* readRecords() {
    const uint64_t recordSize = geometry_.recordSize;
    const uint64_t tableBytes = uint64_t{recordCount_} * recordSize;
    // A length the volume cannot back would only make the reader allocate for nothing.
    std::vector<uint8_t> chunk(recordSize);
    if (!readStream(source_, table_.runs, geometry_.bytesPerCluster, tableBytes - recordSize,
                    chunk)) {
      return "the table's last record cannot be read";
    }
    // Aligned to the largest sector, so that a raw volume can read straight into it.
    const size_t chunkBytes = static_cast<size_t>(std::min<uint64_t>(kChunkBytes, tableBytes));
    chunk.assign(chunkBytes + kChunkAlignment, 0);
    const uintptr_t address = reinterpret_cast<uintptr_t>(chunk.data());
    uint8_t* const aligned =
        chunk.data() + (kChunkAlignment - address % kChunkAlignment) % kChunkAlignment;
    for (uint64_t offset = 0; offset < tableBytes; offset += chunkBytes) {
      if (cancelled()) return "cancelled";
      const size_t bytes = static_cast<size_t>(std::min<uint64_t>(chunkBytes, tableBytes - offset));
      const std::span<uint8_t> piece(aligned, bytes);
      if (!readStream(source_, table_.runs, geometry_.bytesPerCluster, offset, piece)) {
        return "the table cannot be read";
      }
      const uint32_t first = static_cast<uint32_t>(offset / recordSize);
      const size_t read = first + bytes / recordSize;
      recordsRead_ = read;
      index_->records_.grow(read, recordCount_);
      reserveFor(index_->names_, read, recordCount_);
      reserveFor(index_->namePool_, read * kNameUnitsPerRecord,
                 size_t{recordCount_} * kNameUnitsPerRecord);
      for (size_t at = 0; at < bytes; at += recordSize) {
        if (!addRecord(first + static_cast<uint32_t>(at / recordSize),
                       piece.subspan(at, recordSize))) {
          return "the names do not fit the index";
        }
      }
    }
    return nullptr;
  }

  // False only when the index's own limits are exceeded.
  bool addRecord(uint32_t number, std::span<uint8_t> bytes) {
    if (!applyFixups(bytes)) return true;  // damaged or never written: not in use
    const std::optional<RecordHeader> header = readRecordHeader(bytes);
    if (!header || !header->inUse()) return true;
    // A base record names no base at all; an extension names its base, record 0 included (the
    // table's own extensions), with that record's sequence.
    const uint64_t base = referenceRecord(header->baseReference);
    const bool extension = header->baseReference != 0 && base != number;
    if (extension && base >= recordCount_) return true;
    const uint32_t owner = extension ? static_cast<uint32_t>(base) : number;
    const uint16_t ownerSequence =
        extension ? referenceSequence(header->baseReference) : header->sequence;

    MftRecord& record = index_->records_[number];
    if (!extension) {
      record.sequence = header->sequence;
      record.flags = MftRecord::kInUse | (header->isDirectory() ? MftRecord::kIsFolder : 0);
    }
    AttributeReader attributes(bytes, *header);
    Attribute attribute;
    while (attributes.next(attribute)) {
      switch (attribute.type) {
        case AttributeType::StandardInformation:
          if (!extension && !attribute.nonResident &&
              attribute.value.size() >= kStandardInformationBytes) {
            record.lastWriteTime = static_cast<int64_t>(readU64(attribute.value, kLastWriteAt));
            record.attributes |= readU32(attribute.value, kAttributesAt) & ~kNotListedAttributes;
          }
          break;
        case AttributeType::FileName:
          if (!attribute.nonResident && !addName(owner, ownerSequence, attribute.value)) {
            return false;
          }
          break;
        case AttributeType::Data:
          if (attribute.nameLength != 0) break;  // named streams are not the file's length
          if (!attribute.nonResident) {
            setSize(extension, owner, ownerSequence, record, attribute.value.size());
          } else if (attribute.startVcn == 0 && attribute.dataSize <= INT64_MAX) {
            setSize(extension, owner, ownerSequence, record, attribute.dataSize);
          }
          break;
        case AttributeType::IndexRoot:
          if (!namesFolderIndex(attribute)) break;
          if (extension) {
            extensions_.push_back({owner, ownerSequence, Extension::Kind::FolderIndex, 0});
          } else {
            record.flags |= MftRecord::kHasFolderIndex;
          }
          break;
        case AttributeType::ReparsePoint: {
          // A tag in clusters elsewhere stays 0: the entry then counts as a link, never entered.
          const uint32_t tag = !attribute.nonResident && attribute.value.size() >= 4
                                   ? readU32(attribute.value, 0)
                                   : 0;
          if (extension) {
            extensions_.push_back({owner, ownerSequence, Extension::Kind::ReparseTag, tag});
          } else {
            record.reparseTag = tag;
            record.attributes |= kAttributeReparsePoint;
          }
          break;
        }
        default:
          break;
      }
    }
    return true;
  }

  void setSize(bool extension, uint32_t owner, uint16_t ownerSequence, MftRecord& record,
               uint64_t size) {
    if (extension) {
      extensions_.push_back({owner, ownerSequence, Extension::Kind::Size, size});
    } else {
      record.size = static_cast<int64_t>(size);
    }
  }

  bool addName(uint32_t owner, uint16_t ownerSequence, Bytes value) {
    if (value.size() < kNameAt) return true;
    // A name of the DOS namespace alone is a short alias of another name: never listed, so not
    // kept either (on a volume of long names, about a third of all names).
    if (value[kNamespaceAt] == kNamespaceDos) return true;
    const uint8_t length = value[kNameLengthAt];
    if (length == 0 || !fits(value.size(), kNameAt, size_t{length} * 2)) return true;
    const uint64_t parent = readU64(value, kParentAt);
    std::vector<char16_t>& pool = index_->namePool_;
    if (pool.size() > UINT32_MAX - length || index_->names_.size() >= UINT32_MAX) return false;

    MftName name;
    name.record = owner;
    // A folder past the table is kept as one that no record holds (kNoFolder).
    name.parent = static_cast<uint32_t>(std::min<uint64_t>(referenceRecord(parent), kNoFolder));
    name.parentSequence = referenceSequence(parent);
    name.ownerSequence = ownerSequence;
    name.text = static_cast<uint32_t>(pool.size());
    name.length = length;
    name.nameSpace = value[kNamespaceAt];
    const size_t at = pool.size();
    pool.resize(at + length);
    for (size_t i = 0; i < length; ++i) {
      pool[at + i] = static_cast<char16_t>(readU16(value, kNameAt + 2 * i));
    }
    index_->names_.push_back(name);
    return true;
  }

  // Applies what extension records said, decides which names are listed and groups them by
  // folder (a counting sort: one pass to count, one to place), each folder's names in collation
  // order; then checks that the index is a tree. Null when it is, else the damage found.
  const char* finish() {
    MftRecordBlocks& records = index_->records_;
    for (const Extension& extension : extensions_) {
      MftRecord& base = records[extension.base];
      if (!base.inUse() || base.sequence != extension.baseSequence) continue;
      if (extension.kind == Extension::Kind::Size) {
        base.size = static_cast<int64_t>(extension.value);
      } else if (extension.kind == Extension::Kind::FolderIndex) {
        base.flags |= MftRecord::kHasFolderIndex;
      } else {
        base.reparseTag = static_cast<uint32_t>(extension.value);
        base.attributes |= kAttributeReparsePoint;
      }
    }
    for (size_t number = 0; number < records.size(); ++number) {
      MftRecord& record = records[number];
      if (record.isFolder()) {
        record.attributes |= kAttributeDirectory;
        record.size = 0;
      } else if (record.attributes == 0) {
        record.attributes = kAttributeNormal;
      }
    }

    std::vector<uint32_t>& start = index_->childStart_;
    start.assign(size_t{recordCount_} + 1, 0);
    for (MftName& name : index_->names_) {
      const Place place = placeOf(name);
      if (place == Place::Orphan) return "a name lies in no folder in use";
      if (place == Place::Listed) {
        ++start[name.parent + 1];
      } else {
        name.length = 0;  // marks the name as not listed
      }
    }
    for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
    index_->childNames_.resize(start.back());
    std::vector<uint32_t> next(start.begin(), start.end() - 1);
    for (uint32_t i = 0; i < index_->names_.size(); ++i) {
      const MftName& name = index_->names_[i];
      if (name.length != 0) index_->childNames_[next[name.parent]++] = i;
    }
    const MftIndex& index = *index_;
    for (size_t folder = 0; folder < recordCount_; ++folder) {
      std::sort(index_->childNames_.begin() + start[folder],
                index_->childNames_.begin() + start[folder + 1], [&index](uint32_t a, uint32_t b) {
                  return index.collatesBefore(index.text(index.name(a)), index.text(index.name(b)));
                });
    }
    return checkIndexIsTree(index);
  }

  enum class Place : uint8_t { Listed, NotListed, Orphan };

  // Where a name goes. Not listed: a name of a record no longer in use or reused (a stale
  // extension's), a metadata file's. $Extend's names are kept (never reachable by a path) so that
  // the volume's own folders below it count as reached. An orphan, whose folder is not a folder
  // in use (deleted, reused, a file, past the table, the record itself), is damage: the volume's
  // own folder indexes would not list it where the record says.
  Place placeOf(const MftName& name) const {
    const MftRecordBlocks& records = index_->records_;
    const MftRecord& owner = records[name.record];
    if (!owner.inUse() || owner.sequence != name.ownerSequence) return Place::NotListed;
    if (name.record < kFirstUserRecord) return Place::NotListed;
    if (name.parent >= records.size() || name.parent == name.record) return Place::Orphan;
    const MftRecord& parent = records[name.parent];
    if (!parent.inUse() || !parent.isFolder() || parent.sequence != name.parentSequence) {
      return Place::Orphan;
    }
    if (name.parent < kFirstUserRecord && name.parent != kRootRecord &&
        name.parent != kExtendRecord) {
      return Place::NotListed;
    }
    return Place::Listed;
  }

  ByteSource& source_;
  const std::atomic<bool>* cancel_;
  std::shared_ptr<MftIndex> index_;
  VolumeGeometry geometry_;
  StreamPlace table_;
  uint32_t recordCount_ = 0;
  uint64_t recordsRead_ = 0;
  std::vector<Extension> extensions_;
};

MftIndexResult buildMftIndex(ByteSource& source, const std::atomic<bool>* cancel) {
  return MftIndexBuilder(source, cancel).build();
}

}  // namespace tidvale::fs::mft
