#pragma once
// One file record of the master file table: its update-sequence fixups, its header and a bounded
// walk over its attributes. Nothing here allocates; views point into the record's buffer.

#include <cstdint>
#include <optional>
#include <span>

#include "fs/mft/little_endian.h"

namespace tidvale::fs::mft {

inline constexpr uint16_t kRecordInUse = 0x0001;
inline constexpr uint16_t kRecordIsDirectory = 0x0002;

enum class AttributeType : uint32_t {
  StandardInformation = 0x10,
  AttributeList = 0x20,
  FileName = 0x30,
  Data = 0x80,
  IndexRoot = 0x90,
  ReparsePoint = 0xC0,
  End = 0xFFFFFFFF,
};

// Checks the "FILE" signature and the update sequence, and puts the protected units back in
// place. False when the record is not a file record or any stride's check value differs (a torn
// or damaged write): such a record is not used at all.
bool applyFixups(std::span<uint8_t> record);

struct RecordHeader {
  uint16_t sequence = 0;
  uint16_t flags = 0;
  uint64_t baseReference = 0;  // 0 for a base record; else the base record this one extends
  uint32_t firstAttribute = 0;
  uint32_t bytesInUse = 0;

  bool inUse() const { return (flags & kRecordInUse) != 0; }
  bool isDirectory() const { return (flags & kRecordIsDirectory) != 0; }
};

// The header of a record whose fixups were applied, with its attribute area bounded inside the
// record; nothing when the offsets do not fit.
std::optional<RecordHeader> readRecordHeader(Bytes record);

struct Attribute {
  AttributeType type = AttributeType::End;
  bool nonResident = false;
  uint8_t nameLength = 0;  // UTF-16 units; the data stream without a name has 0
  Bytes name;              // the name's little-endian UTF-16 units
  Bytes value;             // resident: the value
  uint64_t startVcn = 0;   // non-resident: the first cluster this piece describes
  uint64_t dataSize = 0;   // non-resident, first piece only: the stream's length
  Bytes runs;              // non-resident: the encoded data runs
};

// The attributes of one record, in order, each checked to lie inside the record's used bytes.
// Stops at the end marker or at the first attribute that does not fit.
class AttributeReader {
 public:
  AttributeReader(Bytes record, const RecordHeader& header);
  bool next(Attribute& attribute);

 private:
  Bytes area_;  // the record up to its bytes in use
  size_t at_;
};

}  // namespace tidvale::fs::mft
