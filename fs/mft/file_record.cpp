#include "fs/mft/file_record.h"

#include <cstring>

#include "fs/mft/boot_sector.h"

namespace tidvale::fs::mft {
namespace {

constexpr char kFileSignature[] = "FILE";
constexpr size_t kUpdateSequenceOffsetAt = 0x04;
constexpr size_t kUpdateSequenceCountAt = 0x06;
constexpr size_t kSequenceAt = 0x10;
constexpr size_t kFirstAttributeAt = 0x14;
constexpr size_t kFlagsAt = 0x16;
constexpr size_t kBytesInUseAt = 0x18;
constexpr size_t kBaseReferenceAt = 0x20;
constexpr size_t kHeaderBytes = 0x30;

// Attribute header fields.
constexpr size_t kTypeAt = 0x00;
constexpr size_t kLengthAt = 0x04;
constexpr size_t kNonResidentAt = 0x08;
constexpr size_t kNameLengthAt = 0x09;
constexpr size_t kNameOffsetAt = 0x0A;
constexpr size_t kValueLengthAt = 0x10;
constexpr size_t kValueOffsetAt = 0x14;
constexpr size_t kResidentHeaderBytes = 0x18;
constexpr size_t kStartVcnAt = 0x10;
constexpr size_t kRunsOffsetAt = 0x20;
constexpr size_t kDataSizeAt = 0x30;
constexpr size_t kNonResidentHeaderBytes = 0x40;

}  // namespace

bool applyFixups(std::span<uint8_t> record) {
  if (record.size() < kHeaderBytes || record.size() % kFixupStride != 0) return false;
  if (std::memcmp(record.data(), kFileSignature, 4) != 0) return false;
  const Bytes bytes(record);
  const size_t offset = readU16(bytes, kUpdateSequenceOffsetAt);
  const size_t count = readU16(bytes, kUpdateSequenceCountAt);
  const size_t strides = record.size() / kFixupStride;
  // One check value, then one saved unit per stride.
  if (count != strides + 1 || offset % 2 != 0 || !fits(record.size(), offset, count * 2)) {
    return false;
  }
  // The array must not overlap a stride's last unit, or restoring would change the array itself.
  if (offset < kUpdateSequenceCountAt + 2 || offset + count * 2 > kFixupStride - 2) return false;
  const uint8_t check0 = record[offset];
  const uint8_t check1 = record[offset + 1];
  for (size_t i = 0; i < strides; ++i) {
    uint8_t* last = record.data() + (i + 1) * kFixupStride - 2;
    if (last[0] != check0 || last[1] != check1) return false;
  }
  for (size_t i = 0; i < strides; ++i) {
    uint8_t* last = record.data() + (i + 1) * kFixupStride - 2;
    last[0] = record[offset + 2 + 2 * i];
    last[1] = record[offset + 3 + 2 * i];
  }
  return true;
}

std::optional<RecordHeader> readRecordHeader(Bytes record) {
  if (record.size() < kHeaderBytes) return std::nullopt;
  RecordHeader header;
  header.sequence = readU16(record, kSequenceAt);
  header.flags = readU16(record, kFlagsAt);
  header.baseReference = readU64(record, kBaseReferenceAt);
  header.firstAttribute = readU16(record, kFirstAttributeAt);
  header.bytesInUse = readU32(record, kBytesInUseAt);
  if (header.bytesInUse > record.size() || header.firstAttribute < kHeaderBytes ||
      header.firstAttribute > header.bytesInUse || header.firstAttribute % 8 != 0) {
    return std::nullopt;
  }
  return header;
}

AttributeReader::AttributeReader(Bytes record, const RecordHeader& header)
    : area_(record.first(header.bytesInUse)), at_(header.firstAttribute) {}

bool AttributeReader::next(Attribute& attribute) {
  // The end marker may be the last four bytes in use; anything shorter ends the walk too.
  if (!fits(area_.size(), at_, 4)) return false;
  const uint32_t type = readU32(area_, at_ + kTypeAt);
  if (type == static_cast<uint32_t>(AttributeType::End)) return false;
  if (!fits(area_.size(), at_, kResidentHeaderBytes)) return false;
  const uint32_t length = readU32(area_, at_ + kLengthAt);
  if (length < kResidentHeaderBytes || length % 8 != 0 || !fits(area_.size(), at_, length)) {
    return false;
  }
  const Bytes header = area_.subspan(at_, length);
  at_ += length;

  attribute = Attribute{};
  attribute.type = static_cast<AttributeType>(type);
  attribute.nonResident = header[kNonResidentAt] != 0;
  attribute.nameLength = header[kNameLengthAt];
  const size_t nameOffset = readU16(header, kNameOffsetAt);
  if (!fits(length, nameOffset, size_t{attribute.nameLength} * 2)) return false;
  attribute.name = header.subspan(nameOffset, size_t{attribute.nameLength} * 2);

  if (!attribute.nonResident) {
    const uint32_t valueLength = readU32(header, kValueLengthAt);
    const size_t valueOffset = readU16(header, kValueOffsetAt);
    if (!fits(length, valueOffset, valueLength)) return false;
    attribute.value = header.subspan(valueOffset, valueLength);
    return true;
  }
  if (length < kNonResidentHeaderBytes) return false;
  attribute.startVcn = readU64(header, kStartVcnAt);
  attribute.dataSize = readU64(header, kDataSizeAt);
  const size_t runsOffset = readU16(header, kRunsOffsetAt);
  if (runsOffset < kNonResidentHeaderBytes || runsOffset > length) return false;
  attribute.runs = header.subspan(runsOffset);
  return true;
}

}  // namespace tidvale::fs::mft
