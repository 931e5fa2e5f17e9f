#include "software/icon_file.h"

#include <gtest/gtest.h>

#include <random>

#include "software/test_icons.h"

namespace tidvale::software {
namespace {

using namespace testing;

std::optional<std::vector<IconImage>> check(const Bytes& file) {
  return checkedIconImages(file);
}

// A bitmap image whose header names `coloursUsed` palette entries, cut by `paletteBytesCut`
// bytes from the end (the palette the header names is then all it holds).
Bytes indexedImage(uint16_t bitCount, uint32_t coloursUsed, size_t paletteBytesCut = 0) {
  Bytes image = bitmapImage(16, 16, bitCount);
  for (int i = 0; i < 4; ++i) image[32 + i] = static_cast<uint8_t>(coloursUsed >> (8 * i));
  image.resize(image.size() - paletteBytesCut);
  return image;
}

Bytes withTableBytes(Bytes image, size_t bytes) {
  image.resize(image.size() + bytes);
  return image;
}

TEST(CheckedIconImages, RefusesEveryHostileShapeAndKeepsWellFormedIcons) {
  Bytes tooLarge = bitmapIcon(32);
  tooLarge.resize(kMaxIconFileBytes + 1);
  Bytes largestAllowed = bitmapIcon(32);
  largestAllowed.resize(kMaxIconFileBytes);
  Bytes indexed = bitmapImage(16, 16, 8);
  indexed[32] = 0x01;  // 257 palette colours for an 8-bit image
  indexed[33] = 0x01;
  Bytes compressed = bitmapImage(16, 16);
  compressed[16] = 1;
  Bytes twoPlanes = bitmapImage(16, 16);
  twoPlanes[12] = 2;
  Bytes shortHeader = bitmapImage(16, 16);
  shortHeader[0] = 39;
  Bytes cutShort = bitmapImage(32, 32);
  cutShort.pop_back();
  Bytes truncatedPng = pngImage(32, 32);
  truncatedPng[8 + 3] = 200;  // the header chunk runs past the image
  const struct {
    const char* what;
    Bytes file;
    size_t images;  // 0: refused
  } cases[] = {
      {"32x32 bitmap", bitmapIcon(32), 1},
      {"16 and 32 bitmaps",
       iconFile({{16, 16, bitmapImage(16, 16)}, {32, 32, bitmapImage(32, 32, 8)}}), 2},
      {"256 written as 0", iconFile({{0, 0, bitmapImage(256, 256)}}), 1},
      {"4-bit and 1-bit",
       iconFile({{16, 16, bitmapImage(16, 16, 4)}, {8, 8, bitmapImage(8, 8, 1)}}), 2},
      {"png 48", iconFile({{48, 48, pngImage(48, 48)}}), 1},
      {"png 256", iconFile({{0, 0, pngImage(256, 256)}}), 1},
      {"file of exactly 1 MiB", largestAllowed, 1},
      {"zero entries", iconFile({}), 0},
      {"header only", Bytes{0, 0, 1, 0}, 0},
      {"cursor", iconFile({{32, 32, bitmapImage(32, 32)}}, 2), 0},
      {"count past the end", iconFile({{32, 32, bitmapImage(32, 32)}}, 1, 300), 0},
      {"entry past the end", iconFile({{32, 32, bitmapImage(32, 32), 0x7FFFFFF0}}), 0},
      {"entry at the very end", iconFile({{32, 32, bitmapImage(32, 32), 22 + 4264}}), 0},
      {"size past the end", iconFile({{32, 32, bitmapImage(32, 32), std::nullopt, 4265}}), 0},
      {"size 0", iconFile({{32, 32, bitmapImage(32, 32), std::nullopt, 0}}), 0},
      {"image inside the directory", iconFile({{32, 32, bitmapImage(32, 32), 4}}), 0},
      {"huge png", iconFile({{0, 0, pngImage(16000, 16000)}}), 0},
      {"png smaller than its entry", iconFile({{32, 32, pngImage(16, 16)}}), 0},
      {"png without an end", iconFile({{32, 32, pngImage(32, 32, false)}}), 0},
      {"png chunk past the end", iconFile({{32, 32, truncatedPng}}), 0},
      {"bitmap wider than its entry", iconFile({{16, 16, bitmapImage(17, 16)}}), 0},
      {"bitmap height not doubled", iconFile({{16, 16, bitmapImage(16, 16, 32, 16)}}), 0},
      {"bitmap rows cut short", iconFile({{32, 32, cutShort}}), 0},
      {"palette too large", iconFile({{16, 16, indexed}}), 0},
      {"1-bit full palette", iconFile({{16, 16, indexedImage(1, 2)}}), 1},
      {"4-bit full palette", iconFile({{16, 16, indexedImage(4, 16)}}), 1},
      {"8-bit full palette", iconFile({{16, 16, indexedImage(8, 256)}}), 1},
      {"1-bit, one colour past full", iconFile({{16, 16, indexedImage(1, 3)}}), 0},
      {"4-bit, one colour past full", iconFile({{16, 16, indexedImage(4, 17)}}), 0},
      {"4-bit, 2 colours and only their palette", iconFile({{16, 16, indexedImage(4, 2, 56)}}), 1},
      {"8-bit, 255 colours and only their palette", iconFile({{16, 16, indexedImage(8, 255, 4)}}),
       1},
      {"4-bit, colours 0 (all 16) and 2 in the palette",
       iconFile({{16, 16, indexedImage(4, 0, 56)}}), 0},
      {"32-bit with the 2-colour table it names",
       iconFile({{16, 16, withTableBytes(indexedImage(32, 2), 8)}}), 1},
      {"32-bit naming a table it lacks", iconFile({{16, 16, indexedImage(32, 2)}}), 0},
      {"32-bit naming 2^32-1 colours", iconFile({{16, 16, indexedImage(32, 0xFFFFFFFF)}}), 0},
      {"8-bit full palette, one byte short", iconFile({{16, 16, indexedImage(8, 256, 1)}}), 0},
      {"compressed bitmap", iconFile({{16, 16, compressed}}), 0},
      {"two planes", iconFile({{16, 16, twoPlanes}}), 0},
      {"short bitmap header", iconFile({{16, 16, shortHeader}}), 0},
      {"a good entry beside a bad one",
       iconFile({{16, 16, bitmapImage(16, 16)}, {16, 16, bitmapImage(16, 15)}}), 0},
      {"over 1 MiB", tooLarge, 0},
  };
  for (const auto& c : cases) {
    const auto images = check(c.file);
    EXPECT_EQ(images ? images->size() : 0, c.images) << c.what;
  }
}

TEST(CheckedIconImages, ReportsWhereEachImageLies) {
  const Bytes file = iconFile({{16, 16, bitmapImage(16, 16)}, {0, 0, pngImage(256, 256)}});
  const auto images = check(file);
  ASSERT_TRUE(images);
  ASSERT_EQ(images->size(), 2u);
  EXPECT_EQ((*images)[0].offset, 38u);
  EXPECT_EQ((*images)[0].size, bitmapImage(16, 16).size());
  EXPECT_FALSE((*images)[0].png);
  EXPECT_EQ((*images)[1].offset, 38u + bitmapImage(16, 16).size());
  EXPECT_EQ((*images)[1].width, 256u);
  EXPECT_TRUE((*images)[1].png);
}

// Any cut of a well-formed file whose images fill it to the end loses bytes of an image.
TEST(CheckedIconImages, EveryTruncationIsRefused) {
  const Bytes file = iconFile({{16, 16, bitmapImage(16, 16, 4)}, {24, 24, pngImage(24, 24)}});
  ASSERT_TRUE(check(file));
  std::mt19937 random(20261207);
  for (int round = 0; round < 300; ++round) {
    const size_t length = std::uniform_int_distribution<size_t>(0, file.size() - 1)(random);
    EXPECT_FALSE(check(Bytes(file.begin(), file.begin() + length))) << "length " << length;
  }
}

TEST(BestIconImage, ExactSizeThenNearestLargerThenLargest) {
  const auto image = [](uint32_t side, uint32_t bits) {
    IconImage i;
    i.width = i.height = side;
    i.bitCount = bits;
    return i;
  };
  const struct {
    std::vector<IconImage> images;
    uint32_t width;
    uint32_t bits;
  } cases[] = {
      {{image(16, 32), image(32, 32), image(48, 32)}, 32, 32},
      {{image(32, 8), image(32, 32), image(32, 4)}, 32, 32},
      {{image(16, 32), image(64, 32), image(48, 32)}, 48, 32},
      {{image(16, 32), image(24, 32), image(8, 32)}, 24, 32},
  };
  for (const auto& c : cases) {
    const IconImage best = bestIconImage(c.images, 32);
    EXPECT_EQ(best.width, c.width);
    EXPECT_EQ(best.bitCount, c.bits);
  }
}

}  // namespace
}  // namespace tidvale::software
