#include "fs/mft/test_volume.h"

#include <algorithm>
#include <stdexcept>

namespace tidvale::fs::mft::test {
namespace {

constexpr uint32_t kUpcaseClusters = 128;
constexpr uint32_t kTableCluster = kTestTableCluster;

void put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
  if (bytes.size() < at + 2) bytes.resize(at + 2);
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}
void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  put16(bytes, at, static_cast<uint16_t>(value));
  put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}
void put64(std::vector<uint8_t>& bytes, size_t at, uint64_t value) {
  put32(bytes, at, static_cast<uint32_t>(value));
  put32(bytes, at + 4, static_cast<uint32_t>(value >> 32));
}
size_t align8(size_t value) {
  return (value + 7) & ~size_t{7};
}
// Copies `source` into `bytes` at `at`, which the caller has already sized.
void place(std::vector<uint8_t>& bytes, size_t at, const std::vector<uint8_t>& source) {
  for (size_t i = 0; i < source.size(); ++i) bytes.at(at + i) = source[i];
}
std::vector<uint8_t> utf16(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < text.size(); ++i) put16(bytes, 2 * i, text[i]);
  return bytes;
}

char16_t upcased(char16_t unit) {
  if ((unit >= u'a' && unit <= u'z') || (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7)) {
    return static_cast<char16_t>(unit - 0x20);
  }
  return unit;
}

}  // namespace

RecordBytes::RecordBytes(uint16_t sequence, uint16_t flags, uint64_t base) : bytes_(0x38, 0) {
  bytes_[0] = 'F', bytes_[1] = 'I', bytes_[2] = 'L', bytes_[3] = 'E';
  put16(bytes_, 0x04, 0x30);
  put16(bytes_, 0x06, kTestRecordSize / 512 + 1);
  put16(bytes_, 0x10, sequence);
  put16(bytes_, 0x12, 1);
  put16(bytes_, 0x14, 0x38);
  put16(bytes_, 0x16, flags);
  put32(bytes_, 0x1C, kTestRecordSize);
  put64(bytes_, 0x20, base);
}

void RecordBytes::resident(uint32_t type, const std::vector<uint8_t>& value,
                           const std::u16string& name) {
  const size_t at = bytes_.size();
  const size_t valueOffset = align8(0x18 + name.size() * 2);
  const size_t length = align8(valueOffset + value.size());
  bytes_.resize(at + length, 0);
  put32(bytes_, at, type);
  put32(bytes_, at + 0x04, static_cast<uint32_t>(length));
  bytes_[at + 0x09] = static_cast<uint8_t>(name.size());
  put16(bytes_, at + 0x0A, 0x18);
  put32(bytes_, at + 0x10, static_cast<uint32_t>(value.size()));
  put16(bytes_, at + 0x14, static_cast<uint16_t>(valueOffset));
  const std::vector<uint8_t> nameBytes = utf16(name);
  place(bytes_, at + 0x18, nameBytes);
  place(bytes_, at + valueOffset, value);
}

RecordBytes& RecordBytes::standardInformation(uint32_t attributes, uint64_t lastWrite) {
  std::vector<uint8_t> value(0x48, 0);
  put64(value, 0x08, lastWrite);
  put32(value, 0x20, attributes);
  resident(0x10, value, u"");
  return *this;
}

RecordBytes& RecordBytes::fileName(uint64_t parent, const std::u16string& name, uint8_t nameSpace) {
  std::vector<uint8_t> value(0x42, 0);
  put64(value, 0x00, parent);
  value[0x40] = static_cast<uint8_t>(name.size());
  value[0x41] = nameSpace;
  const std::vector<uint8_t> nameBytes = utf16(name);
  value.insert(value.end(), nameBytes.begin(), nameBytes.end());
  resident(0x30, value, u"");
  return *this;
}

RecordBytes& RecordBytes::folderIndex(const std::u16string& name) {
  resident(0x90, std::vector<uint8_t>(0x30, 0), name);
  return *this;
}

RecordBytes& RecordBytes::residentData(size_t bytes, const std::u16string& streamName) {
  resident(0x80, std::vector<uint8_t>(bytes, 0x5A), streamName);
  return *this;
}

RecordBytes& RecordBytes::nonResidentData(uint64_t startVcn, uint64_t lastVcn, uint64_t size,
                                          const std::vector<uint8_t>& runs,
                                          const std::u16string& streamName) {
  const size_t at = bytes_.size();
  const size_t runsOffset = align8(0x40 + streamName.size() * 2);
  const size_t length = align8(runsOffset + runs.size());
  bytes_.resize(at + length, 0);
  put32(bytes_, at, 0x80);
  put32(bytes_, at + 0x04, static_cast<uint32_t>(length));
  bytes_[at + 0x08] = 1;
  bytes_[at + 0x09] = static_cast<uint8_t>(streamName.size());
  put16(bytes_, at + 0x0A, 0x40);
  put64(bytes_, at + 0x10, startVcn);
  put64(bytes_, at + 0x18, lastVcn);
  put16(bytes_, at + 0x20, static_cast<uint16_t>(runsOffset));
  put64(bytes_, at + 0x28, (lastVcn + 1) * kTestCluster);
  put64(bytes_, at + 0x30, size);
  put64(bytes_, at + 0x38, size);
  const std::vector<uint8_t> nameBytes = utf16(streamName);
  place(bytes_, at + 0x40, nameBytes);
  place(bytes_, at + runsOffset, runs);
  return *this;
}

RecordBytes& RecordBytes::reparsePoint(uint32_t tag) {
  std::vector<uint8_t> value(8, 0);
  put32(value, 0, tag);
  resident(0xC0, value, u"");
  return *this;
}

std::vector<uint8_t> RecordBytes::listBytes(const std::vector<ListEntry>& entries) {
  std::vector<uint8_t> value;
  for (const ListEntry& entry : entries) {
    const size_t at = value.size();
    value.resize(at + 0x20, 0);
    put32(value, at, entry.type);
    put16(value, at + 0x04, 0x20);
    value[at + 0x07] = 0x1A;
    put64(value, at + 0x08, entry.startVcn);
    put64(value, at + 0x10, entry.reference);
  }
  return value;
}

RecordBytes& RecordBytes::attributeList(const std::vector<ListEntry>& entries) {
  resident(0x20, listBytes(entries), u"");
  return *this;
}

RecordBytes& RecordBytes::attributeListInClusters(uint64_t size, const std::vector<uint8_t>& runs) {
  const size_t at = bytes_.size();
  nonResidentData(0, 0, size, runs);
  put32(bytes_, at, 0x20);
  return *this;
}

RecordBytes& RecordBytes::raw(const std::vector<uint8_t>& attribute) {
  bytes_.insert(bytes_.end(), attribute.begin(), attribute.end());
  return *this;
}

std::vector<uint8_t> RecordBytes::finish(uint16_t usn) const {
  std::vector<uint8_t> record = bytes_;
  put32(record, record.size(), 0xFFFFFFFF);
  put32(record, record.size(), 0);
  if (record.size() > kTestRecordSize - 2) throw std::length_error("record too long");
  put32(record, 0x18, static_cast<uint32_t>(record.size()));
  record.resize(kTestRecordSize, 0);
  put16(record, 0x30, usn);
  for (size_t stride = 0; stride < kTestRecordSize / 512; ++stride) {
    const size_t last = (stride + 1) * 512 - 2;
    record[0x32 + 2 * stride] = record[last];
    record[0x33 + 2 * stride] = record[last + 1];
    put16(record, last, usn);
  }
  return record;
}

std::vector<uint8_t> encodeRun(uint64_t length, int64_t lcn, int64_t previousLcn) {
  auto width = [](uint64_t value, bool isSigned) {
    unsigned bytes = 1;
    while (bytes < 8) {
      const int64_t shifted = static_cast<int64_t>(value) >> (8 * bytes - (isSigned ? 1 : 0));
      if (isSigned ? (shifted == 0 || shifted == -1) : (value >> (8 * bytes)) == 0) break;
      ++bytes;
    }
    return bytes;
  };
  const unsigned lengthWidth = width(length, false);
  const int64_t delta = lcn - previousLcn;
  const unsigned offsetWidth = width(static_cast<uint64_t>(delta), true);
  std::vector<uint8_t> run{static_cast<uint8_t>(lengthWidth | (offsetWidth << 4))};
  for (unsigned i = 0; i < lengthWidth; ++i) run.push_back(static_cast<uint8_t>(length >> (8 * i)));
  for (unsigned i = 0; i < offsetWidth; ++i) {
    run.push_back(static_cast<uint8_t>(static_cast<uint64_t>(delta) >> (8 * i)));
  }
  return run;
}

TestVolume::TestVolume(uint32_t records, bool splitTable, bool listInClusters)
    : records_(records), split_(splitTable || listInClusters), table_(records) {
  const uint64_t root = reference(5, 5);
  const uint32_t firstPart = split_ ? records_ / 2 : records_;
  const uint32_t secondCluster = kTableCluster + records_ + 4;  // leaves a gap after the first
  const uint32_t upcaseCluster = kTableCluster + 2 * records_ + 8;

  std::vector<uint8_t> runs = encodeRun(firstPart, kTableCluster, 0);
  runs.push_back(0);
  RecordBytes table(1, 0x01);
  table.standardInformation(0x06, 0);
  // With the list in a cluster, the table's name lies in an extension record among the user
  // records (the table's last), as ntfs-3g puts it.
  const uint32_t nameRecord = listInClusters ? records_ - 1 : 0;
  if (!listInClusters) table.fileName(root, u"$MFT");
  const std::vector<RecordBytes::ListEntry> list{{0x10, 0, reference(0, 1)},
                                                 {0x30, 0, reference(nameRecord, 1)},
                                                 {0x80, 0, reference(0, 1)},
                                                 {0x80, firstPart, reference(15, 1)}};
  if (listInClusters) {
    list_ = RecordBytes::listBytes(list);
    std::vector<uint8_t> listRuns = encodeRun(1, listCluster(), 0);
    listRuns.push_back(0);
    table.attributeListInClusters(list_.size(), listRuns);
  } else if (split_) {
    table.attributeList(list);
  }
  table.nonResidentData(0, firstPart - 1, uint64_t{records_} * kTestRecordSize, runs);
  put(0, table);
  if (split_) {
    std::vector<uint8_t> rest = encodeRun(records_ - firstPart, secondCluster, 0);
    rest.push_back(0);
    put(15,
        RecordBytes(1, 0x01, reference(0, 1)).nonResidentData(firstPart, records_ - 1, 0, rest));
  }
  if (listInClusters) {
    put(nameRecord, RecordBytes(1, 0x01, reference(0, 1)).fileName(root, u"$MFT"));
  }

  const char16_t* names[] = {u"$MFT",     u"$MFTMirr", u"$LogFile", u"$Volume",
                             u"$AttrDef", u".",        u"$Bitmap",  u"$Boot",
                             u"$BadClus", u"$Secure",  u"$UpCase",  u"$Extend"};
  for (uint32_t number = 1; number <= 11; ++number) {
    if (number == 5) continue;
    RecordBytes record(static_cast<uint16_t>(number), number == 11 ? 0x03 : 0x01);
    record.standardInformation(0x06, 0).fileName(root, names[number]);
    if (number == 11) record.folderIndex();
    if (number == 10) {
      std::vector<uint8_t> upcaseRuns = encodeRun(kUpcaseClusters, upcaseCluster, 0);
      upcaseRuns.push_back(0);
      record.nonResidentData(0, kUpcaseClusters - 1, 131072, upcaseRuns);
    }
    put(number, record);
  }
  put(5, RecordBytes(5, 0x03).standardInformation(0x16, 0).fileName(root, u".").folderIndex());
}

void TestVolume::put(uint32_t number, const RecordBytes& record) {
  putRaw(number, record.finish());
}

void TestVolume::putRaw(uint32_t number, const std::vector<uint8_t>& bytes) {
  table_.at(number) = bytes;
}

uint64_t TestVolume::file(uint32_t number, uint64_t parent, const std::u16string& name,
                          uint64_t size, uint32_t attributes, uint16_t sequence) {
  RecordBytes record(sequence, 0x01);
  record.standardInformation(attributes, 132'000'000'000'000'000 + number).fileName(parent, name);
  if (size <= 256) {
    record.residentData(size);
  } else {
    // Clusters anywhere past the tables; nothing reads a file's content.
    std::vector<uint8_t> runs = encodeRun((size + kTestCluster - 1) / kTestCluster, 1, 0);
    runs.push_back(0);
    record.nonResidentData(0, (size + kTestCluster - 1) / kTestCluster - 1, size, runs);
  }
  put(number, record);
  return reference(number, sequence);
}

uint64_t TestVolume::folder(uint32_t number, uint64_t parent, const std::u16string& name,
                            uint32_t attributes, uint16_t sequence) {
  put(number, RecordBytes(sequence, 0x03)
                  .standardInformation(attributes & ~0x10u, 132'000'000'000'000'000 + number)
                  .fileName(parent, name)
                  .folderIndex());
  return reference(number, sequence);
}

std::vector<uint8_t> TestVolume::image() const {
  const uint32_t upcaseCluster = kTableCluster + 2 * records_ + 8;
  const uint64_t clusters = upcaseCluster + kUpcaseClusters + 8;
  std::vector<uint8_t> image(clusters * kTestCluster, 0);
  // Boot sector.
  place(image, 3, {'N', 'T', 'F', 'S', ' ', ' ', ' ', ' '});
  put16(image, 0x0B, kTestSector);
  image[0x0D] = kTestCluster / kTestSector;
  put64(image, 0x28, clusters * (kTestCluster / kTestSector));
  put64(image, 0x30, kTableCluster);
  put64(image, 0x38, 2);
  image[0x40] = 0xF6;  // 2^10 bytes per record
  image[0x44] = 1;
  put64(image, 0x48, 0x1234'5678'9ABC'DEF0);
  put16(image, 0x1FE, 0xAA55);

  const uint32_t firstPart = split_ ? records_ / 2 : records_;
  const uint32_t secondCluster = kTableCluster + records_ + 4;
  for (uint32_t number = 0; number < records_; ++number) {
    const uint64_t cluster =
        number < firstPart ? kTableCluster + number : secondCluster + (number - firstPart);
    place(image, cluster * kTestCluster, table_[number]);
  }
  if (!list_.empty()) place(image, uint64_t{listCluster()} * kTestCluster, list_);
  for (uint32_t unit = 0; unit < 65536; ++unit) {
    put16(image, uint64_t{upcaseCluster} * kTestCluster + 2 * unit,
          upcased(static_cast<char16_t>(unit)));
  }
  return image;
}

size_t TestVolume::compactBytes() const {
  const uint32_t end = split_ ? kTableCluster + 2 * records_ + 4 : kTableCluster + records_;
  return size_t{end} * kTestCluster;
}

std::vector<uint8_t> TestVolume::compactImage() const {
  std::vector<uint8_t> bytes = image();
  bytes.resize(compactBytes());
  return bytes;
}

uint32_t TestVolume::listCluster() const {
  return kTableCluster + records_ + 1;  // in the gap between the table's two runs
}

}  // namespace tidvale::fs::mft::test
