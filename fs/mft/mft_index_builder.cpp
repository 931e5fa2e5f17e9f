#include <algorithm>
#include <cstring>
#include <optional>

#include "fs/file_system.h"
#include "fs/mft/boot_sector.h"
#include "fs/mft/file_record.h"
#include "fs/mft/mft_index.h"
#include "fs/mft/stream_reader.h"

namespace tidvale::fs::mft {
namespace {

// Reads of the table go in chunks of this many bytes (a whole number of records): small enough
// that a chunk is still in the processor's cache when its records are parsed, large enough that
// the calls cost nothing beside the copy.
constexpr size_t kChunkBytes = 1u << 20;
constexpr size_t kChunkAlignment = 4096;
// The table's own runs, and the upper-case table's: far more than any real volume needs.
constexpr size_t kMaxRuns = 1u << 20;
constexpr uint64_t kUpcaseBytes = 65536 * 2;

// Standard information: last-write time and attributes.
constexpr size_t kLastWriteAt = 0x08;
constexpr size_t kAttributesAt = 0x20;
constexpr size_t kStandardInformationBytes = 0x24;
// File name: parent reference, name length and namespace, then the name.
constexpr size_t kParentAt = 0x00;
constexpr size_t kNameLengthAt = 0x40;
constexpr size_t kNamespaceAt = 0x41;
constexpr size_t kNameAt = 0x42;
// Attribute list entries.
constexpr size_t kListEntryLengthAt = 0x04;
constexpr size_t kListEntryNameLengthAt = 0x06;
constexpr size_t kListEntryStartVcnAt = 0x08;
constexpr size_t kListEntryReferenceAt = 0x10;
constexpr size_t kListEntryBytes = 0x1A;

// Attribute bits NTFS keeps in the standard information that a listing never shows.
constexpr uint32_t kNotListedAttributes = 0x10000000 | 0x20000000;

// A stream's length and where it lies, from the first piece of its unnamed data attribute.
struct StreamPlace {
  uint64_t size = 0;
  std::vector<DataRun> runs;
};

// Figures from an extension record, applied to its base record once every record is read and
// only if the base record is still the one the extension names.
struct Extension {
  enum class Kind : uint8_t { Size, ReparseTag };
  uint32_t base;
  uint16_t baseSequence;
  Kind kind;
  uint64_t value;
};

bool isUnnamedData(const Attribute& attribute) {
  return attribute.type == AttributeType::Data && attribute.nameLength == 0;
}

}  // namespace

class MftIndexBuilder {
 public:
  MftIndexBuilder(ByteSource& source, const std::atomic<bool>* cancel)
      : source_(source), cancel_(cancel), index_(std::make_shared<MftIndex>()) {}

  MftIndexResult build() {
    if (const char* failure = readAll()) return {nullptr, failure};
    finish();
    return {std::move(index_), ""};
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
    if (const char* failure = readTablePlace()) return failure;
    if (const char* failure = readUpcase()) return failure;
    return readRecords();
  }

  bool cancelled() const { return cancel_ != nullptr && cancel_->load(); }

  // The first piece of the unnamed data stream of a record read at `bytes`, appending its runs.
  bool dataPlace(std::span<uint8_t> bytes, uint64_t startVcn, StreamPlace& place) {
    if (!applyFixups(bytes)) return false;
    const std::optional<RecordHeader> header = readRecordHeader(bytes);
    if (!header || !header->inUse()) return false;
    AttributeReader attributes(bytes, *header);
    Attribute attribute;
    while (attributes.next(attribute)) {
      if (!isUnnamedData(attribute) || !attribute.nonResident) continue;
      if (attribute.startVcn != startVcn) continue;
      if (startVcn == 0) place.size = attribute.dataSize;
      return decodeDataRuns(attribute.runs, startVcn, geometry_.clusterCount(), kMaxRuns,
                            place.runs);
    }
    return false;
  }

  // The table's length and runs from its own record 0, with the pieces that an attribute list
  // puts in extension records (a table fragmented into very many runs).
  const char* readTablePlace() {
    std::vector<uint8_t> record(geometry_.recordSize);
    if (!source_.read(geometry_.mftOffset, record))
      return "the table's first record cannot be read";
    if (!dataPlace(record, 0, table_)) return "the table's own record is damaged";
    if (const char* failure = readTableExtensions(record)) return failure;
    if (!checkContiguous(table_.runs)) return "the table's runs have gaps";
    for (const DataRun& run : table_.runs) {
      if (run.lcn == kSparseRun) return "the table has a sparse run";
    }
    const uint64_t records = table_.size / geometry_.recordSize;
    if (records <= kFirstUserRecord || records > UINT32_MAX)
      return "the table's length is implausible";
    if (coveredBytes(table_.runs, geometry_.bytesPerCluster) < records * geometry_.recordSize) {
      return "the table's runs are shorter than the table";
    }
    recordCount_ = static_cast<uint32_t>(records);
    return nullptr;
  }

  // `record` is record 0 with its fixups applied.
  const char* readTableExtensions(std::span<uint8_t> record) {
    const std::optional<RecordHeader> header = readRecordHeader(record);
    AttributeReader attributes(record, *header);
    Attribute attribute;
    while (attributes.next(attribute)) {
      if (attribute.type != AttributeType::AttributeList) continue;
      if (attribute.nonResident) return "the table's attribute list is not resident";
      const Bytes list = attribute.value;
      std::vector<uint8_t> extension(geometry_.recordSize);
      for (size_t at = 0; fits(list.size(), at, kListEntryBytes);) {
        const size_t length = readU16(list, at + kListEntryLengthAt);
        if (length < kListEntryBytes || !fits(list.size(), at, length)) {
          return "the table's attribute list is damaged";
        }
        const uint64_t startVcn = readU64(list, at + kListEntryStartVcnAt);
        const uint64_t number = referenceRecord(readU64(list, at + kListEntryReferenceAt));
        const bool data = readU32(list, at) == static_cast<uint32_t>(AttributeType::Data) &&
                          list[at + kListEntryNameLengthAt] == 0;
        at += length;
        if (!data || startVcn == 0) continue;
        // The piece must continue the runs known so far, and its record must lie within them.
        if (table_.runs.empty() || startVcn != table_.runs.back().vcn + table_.runs.back().length ||
            number > UINT64_MAX / geometry_.recordSize ||
            !readStream(source_, table_.runs, geometry_.bytesPerCluster,
                        number * geometry_.recordSize, extension) ||
            !dataPlace(extension, startVcn, table_)) {
          return "a piece of the table's runs cannot be read";
        }
      }
    }
    return nullptr;
  }

  // The volume's upper-case table, which orders names in folder listings.
  const char* readUpcase() {
    std::vector<uint8_t> record(geometry_.recordSize);
    StreamPlace upcase;
    if (!readStream(source_, table_.runs, geometry_.bytesPerCluster,
                    uint64_t{kUpcaseRecord} * geometry_.recordSize, record) ||
        !dataPlace(record, 0, upcase) || upcase.size != kUpcaseBytes ||
        !checkContiguous(upcase.runs)) {
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
    index_->records_.resize(recordCount_);
    index_->names_.reserve(recordCount_);
    index_->namePool_.reserve(size_t{recordCount_} * 16);
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
    const uint64_t base = referenceRecord(header->baseReference);
    const bool extension = base != 0 && base != number;
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
    if (referenceRecord(parent) >= recordCount_) return true;
    std::vector<char16_t>& pool = index_->namePool_;
    if (pool.size() > UINT32_MAX - length || index_->names_.size() >= UINT32_MAX) return false;

    MftName name;
    name.record = owner;
    name.parent = static_cast<uint32_t>(referenceRecord(parent));
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

  // Applies what extension records said, then decides which names are listed and groups them by
  // folder (a counting sort: one pass to count, one to place).
  void finish() {
    std::vector<MftRecord>& records = index_->records_;
    for (const Extension& extension : extensions_) {
      MftRecord& base = records[extension.base];
      if (!base.inUse() || base.sequence != extension.baseSequence) continue;
      if (extension.kind == Extension::Kind::Size) {
        base.size = static_cast<int64_t>(extension.value);
      } else {
        base.reparseTag = static_cast<uint32_t>(extension.value);
        base.attributes |= kAttributeReparsePoint;
      }
    }
    for (MftRecord& record : records) {
      if (record.isFolder()) {
        record.attributes |= kAttributeDirectory;
        record.size = 0;
      } else if (record.attributes == 0) {
        record.attributes = kAttributeNormal;
      }
    }

    std::vector<uint32_t>& start = index_->childStart_;
    start.assign(size_t{recordCount_} + 1, 0);
    std::vector<uint8_t> folderNamed(recordCount_, 0);
    for (MftName& name : index_->names_) {
      if (listed(name, folderNamed)) {
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
  }

  bool listed(const MftName& name, std::vector<uint8_t>& folderNamed) const {
    const std::vector<MftRecord>& records = index_->records_;
    if (name.record < kFirstUserRecord || name.record == name.parent) return false;
    if (name.parent < kFirstUserRecord && name.parent != kRootRecord) return false;  // $Extend
    const MftRecord& owner = records[name.record];
    const MftRecord& parent = records[name.parent];
    if (!owner.inUse() || owner.sequence != name.ownerSequence) return false;
    if (!parent.inUse() || !parent.isFolder() || parent.sequence != name.parentSequence) {
      return false;  // an orphan: its folder was deleted or reused
    }
    // A folder has one place only; a second name would let a crafted volume make a cycle.
    if (owner.isFolder()) {
      if (folderNamed[name.record]) return false;
      folderNamed[name.record] = 1;
    }
    return true;
  }

  ByteSource& source_;
  const std::atomic<bool>* cancel_;
  std::shared_ptr<MftIndex> index_;
  VolumeGeometry geometry_;
  StreamPlace table_;
  uint32_t recordCount_ = 0;
  std::vector<Extension> extensions_;
};

MftIndexResult buildMftIndex(ByteSource& source, const std::atomic<bool>* cancel) {
  return MftIndexBuilder(source, cancel).build();
}

}  // namespace tidvale::fs::mft
