// The table's chunks read one ahead: every byte once and in order whatever the sizes, a failed
// read ends the sequence at that chunk, and a consumer that stops early does not hang.
#include "fs/mft/read_ahead.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tidvale::fs::mft {
namespace {

std::vector<uint8_t> stream(size_t bytes) {
  std::vector<uint8_t> data(bytes);
  for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return data;
}

// Reads from `data`; fails at offset `failAt` (when given).
ReadAhead::Read readerOf(const std::vector<uint8_t>& data, uint64_t failAt = UINT64_MAX) {
  return [&data, failAt](uint64_t offset, std::span<uint8_t> into) {
    if (offset == failAt || offset + into.size() > data.size()) return false;
    std::memcpy(into.data(), data.data() + offset, into.size());
    return true;
  };
}

TEST(ReadAheadTest, GivesEveryByteOnceInOrderInAlignedChunks) {
  struct Case {
    size_t total, chunk;
  };
  for (const Case c : {Case{1, 4096}, Case{4096, 4096}, Case{4097, 4096}, Case{40960, 4096},
                       Case{100000, 8192}, Case{3 * 512 + 1, 512}}) {
    const std::vector<uint8_t> data = stream(c.total);
    ReadAhead chunks(readerOf(data), c.total, c.chunk, 512);
    std::vector<uint8_t> seen;
    while (const auto piece = chunks.next()) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(piece->data()) % 512, 0u);
      EXPECT_LE(piece->size(), c.chunk);
      seen.insert(seen.end(), piece->begin(), piece->end());
    }
    EXPECT_FALSE(chunks.failed()) << c.total;
    EXPECT_EQ(seen, data) << c.total << " bytes in chunks of " << c.chunk;
    EXPECT_FALSE(chunks.next());  // the end stays the end
  }
}

TEST(ReadAheadTest, AFailedReadEndsTheSequenceAtItsChunk) {
  const std::vector<uint8_t> data = stream(10 * 1024);
  for (const uint64_t failing : {0u, 1u, 5u, 9u}) {
    ReadAhead chunks(readerOf(data, failing * 1024), data.size(), 1024, 64);
    uint64_t given = 0;
    while (chunks.next()) ++given;
    EXPECT_EQ(given, failing);
    EXPECT_TRUE(chunks.failed());
  }
}

TEST(ReadAheadTest, StopsWhenTheConsumerStopsEarly) {
  const std::vector<uint8_t> data = stream(64 * 1024);
  for (int taken = 0; taken < 3; ++taken) {
    ReadAhead chunks(readerOf(data), data.size(), 1024, 64);
    for (int i = 0; i < taken; ++i) ASSERT_TRUE(chunks.next());
  }  // each destructor returns: the reader thread stops and joins
}

}  // namespace
}  // namespace tidvale::fs::mft
