// The on-disk pieces: boot sector, data runs, update-sequence fixups, attribute bounds.
#include <gtest/gtest.h>

#include <vector>

#include "fs/mft/boot_sector.h"
#include "fs/mft/data_runs.h"
#include "fs/mft/file_record.h"
#include "fs/mft/stream_reader.h"
#include "fs/mft/test_volume.h"

namespace tidvale::fs::mft {
namespace {

using test::encodeRun;
using test::RecordBytes;

std::vector<uint8_t> bootSector() {
  return test::TestVolume(32).image();  // the first 512 bytes are its boot sector
}

TEST(BootSectorTest, ReadsTheGeometryOfAGoodSector) {
  const std::vector<uint8_t> image = bootSector();
  const auto geometry = parseBootSector(Bytes(image).first(512));
  ASSERT_TRUE(geometry);
  EXPECT_EQ(geometry->bytesPerSector, 512u);
  EXPECT_EQ(geometry->bytesPerCluster, 1024u);
  EXPECT_EQ(geometry->recordSize, 1024u);
  EXPECT_EQ(geometry->mftOffset, 4096u);
  EXPECT_EQ(geometry->volumeBytes, image.size());
}

TEST(BootSectorTest, RefusesSectorsNoReaderShouldTrust) {
  struct Case {
    const char* what;
    size_t at;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"another file system", 3, {'F', 'A', 'T'}},
      {"no boot signature", 0x1FE, {0, 0}},
      {"sector of 100 bytes", 0x0B, {100, 0}},
      {"sector of 8 KiB", 0x0B, {0, 0x20}},
      {"three sectors per cluster", 0x0D, {3}},
      {"no sectors per cluster", 0x0D, {0}},
      {"cluster of 2^32 sectors", 0x0D, {0xE0}},
      {"record of 3 clusters", 0x40, {3}},
      {"record of 256 bytes", 0x40, {0xF8}},
      {"record of 2^40 bytes", 0x40, {0xD8}},
      {"table past the volume", 0x30, {0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0}},
      {"volume overflowing 64 bits", 0x28, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> sector = bootSector();
    sector.resize(512);
    std::copy(c.bytes.begin(), c.bytes.end(), sector.begin() + static_cast<ptrdiff_t>(c.at));
    EXPECT_FALSE(parseBootSector(sector)) << c.what;
  }
  EXPECT_FALSE(parseBootSector(Bytes(bootSector()).first(511))) << "short sector";
}

TEST(BootSectorTest, ReadsLargeClustersUpToTwoMebibytes) {
  // 0x80 is still a plain count (the largest one); above it, negative powers of two.
  const std::pair<uint8_t, uint32_t> cases[] = {
      {0x80, 64u << 10}, {0xF8, 128u << 10}, {0xF4, 2u << 20}, {0xF3, 0}};
  for (const auto& [raw, clusterBytes] : cases) {
    std::vector<uint8_t> sector = bootSector();
    sector.resize(512);
    sector[0x0D] = raw;
    sector[0x30] = 0;     // the table at cluster 0 keeps it inside the volume
    sector[0x2A] = 0x10;  // 2^20 sectors: room for a few clusters of any size
    const auto geometry = parseBootSector(sector);
    EXPECT_EQ(geometry ? geometry->bytesPerCluster : 0u, clusterBytes) << int{raw};
  }
}

TEST(DataRunsTest, DecodesRelativeOffsetsSparseRunsAndTheEnd) {
  std::vector<uint8_t> encoded = encodeRun(4, 100, 0);
  const std::vector<uint8_t> back = encodeRun(2, 30, 100);  // negative offset
  encoded.insert(encoded.end(), back.begin(), back.end());
  encoded.insert(encoded.end(), {0x01, 0x05});  // five sparse clusters
  const std::vector<uint8_t> last = encodeRun(300, 70000, 30);
  encoded.insert(encoded.end(), last.begin(), last.end());
  encoded.push_back(0);
  std::vector<DataRun> runs;
  ASSERT_TRUE(decodeDataRuns(encoded, 7, 1'000'000, 16, runs));
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[0].vcn, 7u);
  EXPECT_EQ(runs[0].lcn, 100);
  EXPECT_EQ(runs[1].vcn, 11u);
  EXPECT_EQ(runs[1].lcn, 30);
  EXPECT_EQ(runs[2].lcn, kSparseRun);
  EXPECT_EQ(runs[2].length, 5u);
  EXPECT_EQ(runs[3].vcn, 18u);
  EXPECT_EQ(runs[3].lcn, 70000);
  EXPECT_EQ(runs[3].length, 300u);
}

TEST(DataRunsTest, RefusesBrokenEncodings) {
  struct Case {
    const char* what;
    std::vector<uint8_t> encoded;
  };
  const Case cases[] = {
      {"no end marker", {0x11, 0x04, 0x10}},
      {"zero length", {0x11, 0x00, 0x10, 0x00}},
      {"no length width", {0x10, 0x10, 0x00}},
      {"nine-byte offset", {0x91, 0x01, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}},
      {"field past the attribute", {0x44, 0x01}},
      {"run before cluster 0", {0x11, 0x01, 0xF0, 0x00}},
      {"run past the volume", {0x21, 0x10, 0xE0, 0x03, 0x00}},
      {"length past the volume", {0x13, 0xFF, 0xFF, 0x0F, 0x01, 0x00}},
  };
  for (const Case& c : cases) {
    std::vector<DataRun> runs;
    EXPECT_FALSE(decodeDataRuns(c.encoded, 0, 1000, 16, runs)) << c.what;
  }
  std::vector<uint8_t> many;
  for (int i = 0; i < 5; ++i) many.insert(many.end(), {0x11, 0x01, 0x01});
  many.push_back(0);
  std::vector<DataRun> runs;
  EXPECT_FALSE(decodeDataRuns(many, 0, 1000, 4, runs)) << "more runs than allowed";
  runs.clear();
  EXPECT_TRUE(decodeDataRuns(many, 0, 1000, 5, runs));
}

TEST(DataRunsTest, TellsRunsThatShareClustersOrHaveNone) {
  struct Case {
    std::vector<DataRun> runs;  // vcn, length, lcn
    bool disjoint;
  };
  const Case cases[] = {
      {{{0, 4, 0}}, true},                        // from the volume's first cluster
      {{{0, 4, 10}, {4, 2, 14}}, true},           // end to end
      {{{0, 4, 10}, {4, 2, 2}}, true},            // before the first, not touching it
      {{{0, 4, 10}, {4, 2, 13}}, false},          // one cluster shared
      {{{0, 4, 10}, {4, 2, 9}}, false},           // before the first, reaching into it
      {{{0, 4, 10}, {4, 4, 10}}, false},          // the same clusters again
      {{{0, 4, 10}, {4, 2, kSparseRun}}, false},  // no clusters at all
  };
  for (const Case& c : cases) {
    EXPECT_EQ(checkAllocatedAndDisjoint(c.runs), c.disjoint) << c.runs.back().lcn;
  }
}

TEST(FixupsTest, RestoresTheProtectedUnitsOfAGoodRecord) {
  std::vector<uint8_t> record = RecordBytes(1, 1).residentData(900).finish(0x4242);
  EXPECT_EQ(record[510], 0x42);
  ASSERT_TRUE(applyFixups(record));
  EXPECT_EQ(record[510], 0x5A);  // the data byte that the check value stood in for
  EXPECT_EQ(record[1022], 0x00);
}

TEST(FixupsTest, RefusesTornAndForgedRecords) {
  const std::vector<uint8_t> good = RecordBytes(1, 1).finish();
  struct Case {
    const char* what;
    size_t at;
    uint8_t value;
  };
  const Case cases[] = {
      {"second stride torn", 1022, 0x07},     {"first stride torn", 511, 0x07},
      {"no FILE signature", 0, 'B'},          {"one stride too few", 0x06, 2},
      {"array at offset 0", 0x04, 0},         {"array past the stride", 0x05, 0x02},
      {"array at an odd offset", 0x04, 0x31},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> record = good;
    record[c.at] = c.value;
    EXPECT_FALSE(applyFixups(record)) << c.what;
  }
  std::vector<uint8_t> record = good;
  EXPECT_FALSE(applyFixups(std::span<uint8_t>(record).first(1000))) << "not whole strides";

  // The array moved to the end of the first stride, its last saved unit equal to the check
  // value so that every stride still checks: restoring would then rewrite the array itself.
  for (const auto& [offset, accepted] : {std::pair<size_t, bool>{504, true}, {506, false}}) {
    std::vector<uint8_t> moved = good;
    const uint8_t array[] = {0x01, 0x01, 0x00, 0x00, 0x01, 0x01};
    std::copy(std::begin(array), std::end(array), moved.begin() + static_cast<ptrdiff_t>(offset));
    moved[0x04] = static_cast<uint8_t>(offset);
    moved[0x05] = static_cast<uint8_t>(offset >> 8);
    moved[510] = 0x01, moved[511] = 0x01;
    EXPECT_EQ(applyFixups(moved), accepted) << "array at " << offset;
  }
}

TEST(AttributeReaderTest, StopsAtAnAttributeThatDoesNotFit) {
  // A resident attribute whose value runs past its own length.
  std::vector<uint8_t> bad(0x18, 0);
  bad[0] = 0x80;
  bad[4] = 0x18;
  bad[0x10] = 0x40;  // 64 value bytes in a 24-byte attribute
  bad[0x14] = 0x18;
  std::vector<uint8_t> record =
      RecordBytes(1, 1).standardInformation(0x20, 5).raw(bad).residentData(10).finish();
  ASSERT_TRUE(applyFixups(record));
  const auto header = readRecordHeader(record);
  ASSERT_TRUE(header);
  AttributeReader reader(record, *header);
  Attribute attribute;
  ASSERT_TRUE(reader.next(attribute));
  EXPECT_EQ(attribute.type, AttributeType::StandardInformation);
  EXPECT_FALSE(reader.next(attribute));  // the good data attribute after it is never reached
}

TEST(AttributeReaderTest, RefusesHeadersWhoseAreaLiesOutsideTheRecord) {
  for (const auto& [at, value] :
       std::vector<std::pair<size_t, uint32_t>>{{0x14, 0x3FF}, {0x14, 0x3A}, {0x18, 0x401}}) {
    std::vector<uint8_t> record = RecordBytes(1, 1).finish();
    ASSERT_TRUE(applyFixups(record));
    record[at] = static_cast<uint8_t>(value);
    record[at + 1] = static_cast<uint8_t>(value >> 8);
    EXPECT_FALSE(readRecordHeader(record)) << at;
  }
}

}  // namespace
}  // namespace tidvale::fs::mft
