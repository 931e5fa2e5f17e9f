#include "fs/mft/mft_table_place.h"

#include <optional>

#include "fs/mft/file_record.h"
#include "fs/mft/mft_index.h"
#include "fs/mft/stream_reader.h"

namespace tidvale::fs::mft {
namespace {

// The table's own runs, and the upper-case table's: far more than any real volume needs.
constexpr size_t kMaxRuns = 1u << 20;
// The table's attribute list, when it lies in clusters: an entry per piece of the table's runs
// (some hundreds of runs each) and per other attribute, so a few KiB even on a volume of millions
// of records.
constexpr uint64_t kMaxAttributeListBytes = 4u << 20;
// Attribute list entries.
constexpr size_t kListEntryLengthAt = 0x04;
constexpr size_t kListEntryNameLengthAt = 0x06;
constexpr size_t kListEntryStartVcnAt = 0x08;
constexpr size_t kListEntryReferenceAt = 0x10;
constexpr size_t kListEntryBytes = 0x1A;

bool isUnnamedData(const Attribute& attribute) {
  return attribute.type == AttributeType::Data && attribute.nameLength == 0;
}

}  // namespace

bool readDataPlace(std::span<uint8_t> bytes, uint64_t startVcn, uint64_t volumeClusters,
                   StreamPlace& place, uint32_t base) {
  if (!applyFixups(bytes)) return false;
  const std::optional<RecordHeader> header = readRecordHeader(bytes);
  if (!header || !header->inUse()) return false;
  if (startVcn != 0 &&
      (header->baseReference == 0 || referenceRecord(header->baseReference) != base)) {
    return false;
  }
  AttributeReader attributes(bytes, *header);
  Attribute attribute;
  while (attributes.next(attribute)) {
    if (!isUnnamedData(attribute) || !attribute.nonResident) continue;
    if (attribute.startVcn != startVcn) continue;
    if (startVcn == 0) place.size = attribute.dataSize;
    return decodeDataRuns(attribute.runs, startVcn, volumeClusters, kMaxRuns, place.runs);
  }
  return false;
}

namespace {

class TablePlaceReader {
 public:
  TablePlaceReader(ByteSource& source, const VolumeGeometry& geometry, StreamPlace& table)
      : source_(source), geometry_(geometry), table_(table) {}

  // The table's length and runs from its own record 0, with the pieces that an attribute list
  // puts in extension records (a table fragmented into very many runs).
  const char* read(uint32_t& recordCount) {
    std::vector<uint8_t> record(geometry_.recordSize);
    if (!source_.read(geometry_.mftOffset, record))
      return "the table's first record cannot be read";
    if (!readDataPlace(record, 0, geometry_.clusterCount(), table_))
      return "the table's own record is damaged";
    if (const char* failure = readTableExtensions(record)) return failure;
    if (!checkContiguous(table_.runs)) return "the table's runs have gaps";
    // Runs that share clusters would show the same records twice, or metadata as user files.
    // Disjoint runs inside the volume also bound the table's length by the volume's.
    if (!checkAllocatedAndDisjoint(table_.runs)) return "the table's runs overlap or are sparse";
    const uint64_t records = table_.size / geometry_.recordSize;
    if (records <= kFirstUserRecord || records > UINT32_MAX)
      return "the table's length is implausible";
    if (coveredBytes(table_.runs, geometry_.bytesPerCluster) < records * geometry_.recordSize) {
      return "the table's runs are shorter than the table";
    }
    recordCount = static_cast<uint32_t>(records);
    return nullptr;
  }

  // `record` is record 0 with its fixups applied.
  const char* readTableExtensions(std::span<uint8_t> record) {
    const std::optional<RecordHeader> header = readRecordHeader(record);
    AttributeReader attributes(record, *header);
    Attribute attribute;
    while (attributes.next(attribute)) {
      if (attribute.type != AttributeType::AttributeList) continue;
      if (!attribute.nonResident) return readListedPieces(attribute.value);
      std::vector<uint8_t> list;
      if (const char* failure = readNonResidentList(attribute, list)) return failure;
      return readListedPieces(list);
    }
    return nullptr;
  }

  // An attribute list kept in clusters: its runs are checked as the table's own are.
  const char* readNonResidentList(const Attribute& attribute, std::vector<uint8_t>& list) {
    StreamPlace place;
    place.size = attribute.dataSize;
    if (attribute.startVcn != 0 || place.size > kMaxAttributeListBytes ||
        !decodeDataRuns(attribute.runs, 0, geometry_.clusterCount(), kMaxRuns, place.runs) ||
        !checkContiguous(place.runs) || !checkAllocatedAndDisjoint(place.runs)) {
      return "the table's attribute list is damaged";
    }
    list.resize(static_cast<size_t>(place.size));
    if (!readStream(source_, place.runs, geometry_.bytesPerCluster, 0, list)) {
      return "the table's attribute list cannot be read";
    }
    return nullptr;
  }

  // Follows the entries of the table's attribute list to the extension records that hold the
  // further pieces of its runs.
  const char* readListedPieces(Bytes list) {
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
          !readDataPlace(extension, startVcn, geometry_.clusterCount(), table_)) {
        return "a piece of the table's runs cannot be read";
      }
      // Runs that hold more clusters than the volume must repeat some: refused before they grow.
      if (table_.runs.back().vcn + table_.runs.back().length > geometry_.clusterCount()) {
        return "the table's runs overlap or are sparse";
      }
    }
    return nullptr;
  }

 private:
  ByteSource& source_;
  const VolumeGeometry& geometry_;
  StreamPlace& table_;
};

}  // namespace

const char* readTablePlace(ByteSource& source, const VolumeGeometry& geometry, StreamPlace& table,
                           uint32_t& recordCount) {
  return TablePlaceReader(source, geometry, table).read(recordCount);
}

}  // namespace tidvale::fs::mft
