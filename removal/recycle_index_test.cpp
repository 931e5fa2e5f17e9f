#include "removal/recycle_index.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fs/fake_file_system.h"
#include "fs/protected_folders.h"
#include "removal/recycle_purge.h"

namespace tidvale {
namespace {

void putLittleEndian(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, size_t width) {
  if (bytes.size() < offset + width) bytes.resize(offset + width);
  for (size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void putPath(std::vector<uint8_t>& bytes, size_t offset, std::wstring_view path) {
  for (size_t i = 0; i < path.size(); ++i) putLittleEndian(bytes, offset + 2 * i, path[i], 2);
}

// An index file as the shell writes it: version 1 pads the path to 260 units; version 2 gives
// its length, NUL included.
std::vector<uint8_t> indexFile(int version, std::wstring_view path, int64_t deletionTime,
                               std::optional<int32_t> lengthField = std::nullopt) {
  std::vector<uint8_t> bytes;
  putLittleEndian(bytes, 0, static_cast<uint64_t>(version), 8);
  putLittleEndian(bytes, 8, 12345, 8);
  putLittleEndian(bytes, 16, static_cast<uint64_t>(deletionTime), 8);
  if (version == 2) {
    putLittleEndian(bytes, 24, static_cast<uint32_t>(lengthField.value_or(path.size() + 1)), 4);
    putPath(bytes, 28, path);
    putLittleEndian(bytes, 28 + 2 * path.size(), 0, 2);
  } else {
    bytes.resize(24 + 520);
    putPath(bytes, 24, path);
  }
  return bytes;
}

std::vector<uint8_t> truncated(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

TEST(RecycleIndexTest, ParsesBothFormatsWithinTheBytesRead) {
  // The path is cut off after four units; an odd byte count leaves half a unit.
  const std::vector<uint8_t> unterminated = truncated(indexFile(2, L"C:\\abcdef", 9), 28 + 2 * 4);
  const std::vector<uint8_t> oddLength = truncated(indexFile(1, L"C:\\x", 5), 24 + 2 * 3 + 1);
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    std::optional<std::wstring> path;
    int64_t time;
  } cases[] = {
      {"version 1", indexFile(1, L"C:\\Users\\me\\a.txt", 77), L"C:\\Users\\me\\a.txt", 77},
      {"version 2", indexFile(2, L"D:\\long\\b", -3), L"D:\\long\\b", -3},
      {"version 2, length shorter than the path", indexFile(2, L"D:\\long", 1, 3), L"D:\\", 1},
      {"version 2, length past the bytes read", unterminated, L"C:\\a", 9},
      {"version 2, huge length", indexFile(2, L"E:\\x", 2, 0x7fffffff), L"E:\\x", 2},
      {"version 1, odd byte count", oddLength, L"C:\\", 5},
      {"version 2, negative length", indexFile(2, L"D:\\x", 1, -1), std::nullopt, 0},
      {"version 2, zero length", indexFile(2, L"D:\\x", 1, 0), std::nullopt, 0},
      {"unknown version", indexFile(3, L"C:\\x", 1), std::nullopt, 0},
      {"shorter than 26 bytes", std::vector<uint8_t>(25, 1), std::nullopt, 0},
      {"version 2 shorter than 28 bytes", truncated(indexFile(2, L"C:\\x", 1), 27), std::nullopt,
       0},
      {"empty path", indexFile(1, L"", 1), std::nullopt, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto entry = parseRecycleIndex(c.bytes);
    ASSERT_EQ(entry.has_value(), c.path.has_value());
    if (!entry) continue;
    EXPECT_EQ(entry->originalPath, *c.path);
    EXPECT_EQ(entry->deletionTime, c.time);
  }
}

TEST(RecycleIndexTest, ComparisonForm) {
  EXPECT_EQ(recycleComparisonForm(L"C:/Users/ME/Junk//"), L"c:\\users\\me\\junk");
  EXPECT_EQ(recycleComparisonForm(L"C:\\\\"), L"c:\\");
  EXPECT_EQ(recycleComparisonForm(L"C:\\"), L"c:\\");
}

// Index files live in a fake drive's bin; their bytes come from this map.
class RecyclePurgeTest : public ::testing::Test {
 protected:
  void add(const std::wstring& user, const std::wstring& id, std::vector<uint8_t> index,
           bool itemIsFolder = false) {
    const std::wstring folder = L"D:\\$Recycle.Bin\\" + user;
    fs_.addFile(folder + L"\\$I" + id, static_cast<int64_t>(index.size()));
    if (itemIsFolder) {
      fs_.addFile(folder + L"\\$R" + id + L"\\inner\\x.bin", 10, 0, fs::kAttributeReadOnly);
    } else {
      fs_.addFile(folder + L"\\$R" + id, 10);
    }
    indexes_[toLower(folder + L"\\$I" + id)] = std::move(index);
    lastItem_ = L"$R" + id;
  }

  // Purges as the user `user` what was just recycled: the file the listings show with the id of
  // `recycled` (its item's name in that user's bin, by default the one the test added last).
  bool purge(const std::wstring& path, const std::wstring& user = L"S-1",
             const std::wstring& recycled = L"") {
    return purgeWithId(path, user, itemId(user, recycled.empty() ? lastItem_ : recycled));
  }

  bool purgeWithId(const std::wstring& path, const std::wstring& user, uint64_t recycledId) {
    CheckedRemoval removal(fs_, protected_);
    const IndexFileReader reader = [this](const std::wstring& file) {
      const std::wstring plain = file.starts_with(L"\\\\?\\") ? file.substr(4) : file;
      const auto found = indexes_.find(toLower(plain));
      return found == indexes_.end() ? std::vector<uint8_t>{} : found->second;
    };
    return purgeFromRecycleBin(removal, reader, user, path, recycledId);
  }

  uint64_t itemId(const std::wstring& user, const std::wstring& item) {
    return fs_.idOf(L"D:\\$Recycle.Bin\\" + user + L"\\" + item);
  }

  bool has(const std::wstring& user, const std::wstring& name) {
    return fs_.exists(L"D:\\$Recycle.Bin\\" + user + L"\\" + name);
  }

  static std::wstring toLower(std::wstring text) {
    for (wchar_t& unit : text) unit = static_cast<wchar_t>(std::towlower(unit));
    return text;
  }

  fs::FakeFileSystem fs_;
  std::map<std::wstring, std::vector<uint8_t>> indexes_;
  std::set<fs::FileId> protected_;
  std::wstring lastItem_;
};

TEST_F(RecyclePurgeTest, PurgesOnlyTheNewestCopyOfThePathInTheUsersOwnFolder) {
  add(L"S-2", L"OLD.txt", indexFile(2, L"D:\\docs\\a.txt", 100));
  add(L"S-2", L"NEW.txt", indexFile(1, L"d:/DOCS/A.txt", 200));
  add(L"S-2", L"TIE.txt", indexFile(2, L"D:\\docs\\a.txt", 200));
  add(L"S-2", L"OTHER.txt", indexFile(2, L"D:\\docs\\b.txt", 900));
  // Another user's index can name any path, with any time: it is never looked at.
  add(L"S-1", L"FORGED.txt", indexFile(2, L"D:\\docs\\a.txt", 999));

  EXPECT_TRUE(purge(L"D:\\Docs\\a.txt\\", L"S-2", L"$RNEW.txt"));

  EXPECT_FALSE(has(L"S-2", L"$RNEW.txt"));
  EXPECT_FALSE(has(L"S-2", L"$INEW.txt"));
  for (const wchar_t* kept :
       {L"$ROLD.txt", L"$IOLD.txt", L"$RTIE.txt", L"$ITIE.txt", L"$ROTHER.txt"}) {
    EXPECT_TRUE(has(L"S-2", kept));
  }
  EXPECT_TRUE(has(L"S-1", L"$RFORGED.txt"));
  EXPECT_TRUE(has(L"S-1", L"$IFORGED.txt"));
}

TEST_F(RecyclePurgeTest, AFolderItemGoesWithEverythingInIt) {
  add(L"S-1", L"DIR", indexFile(2, L"D:\\folder", 5), /*itemIsFolder=*/true);
  EXPECT_TRUE(purge(L"D:\\folder"));
  EXPECT_FALSE(has(L"S-1", L"$RDIR"));
  EXPECT_FALSE(has(L"S-1", L"$IDIR"));
}

TEST_F(RecyclePurgeTest, NothingToPurge) {
  add(L"S-1", L"A", indexFile(2, L"D:\\a", 5));
  add(L"S-1", L"NEG", indexFile(2, L"D:\\b", 5, -4));
  fs_.addFile(L"D:\\$Recycle.Bin\\S-1\\$I", 40);  // too short a name to be an index
  fs_.addJunction(L"D:\\$Recycle.Bin\\S-9", L"C:\\elsewhere");
  fs_.addFile(L"C:\\elsewhere\\$IX", 100);
  fs_.addFile(L"C:\\elsewhere\\$RX", 100);
  indexes_[L"d:\\$recycle.bin\\s-9\\$ix"] = indexFile(2, L"D:\\c", 5);
  for (const wchar_t* path :
       {L"D:\\b", L"D:\\c", L"D:\\zzz", L"\\\\server\\share\\a", L"a", L"D:"}) {
    EXPECT_FALSE(purge(path)) << path;
    EXPECT_FALSE(purge(path, L"S-9")) << path;  // the user's folder is a link
    EXPECT_FALSE(purge(path, L"")) << path;
  }
  EXPECT_TRUE(has(L"S-1", L"$RA"));
  EXPECT_TRUE(fs_.exists(L"C:\\elsewhere\\$RX"));
}

// An item that is not exactly what was recycled, or cannot go whole, is not purged: false, and the
// index file stays, so that the item is reported as still in the bin and never credited.
TEST_F(RecyclePurgeTest, WhatIsNotPurgedWholeIsNeverReportedPurged) {
  const struct {
    const char* name;
    std::function<void(fs::FakeFileSystem&, std::set<fs::FileId>&)> damage;
    const wchar_t* recycled;  // whose id the purge expects
    bool itemStays;
  } cases[] = {
      {"stale index: its item is missing",
       [](fs::FakeFileSystem& files, std::set<fs::FileId>&) {
         files.erase(L"D:\\$Recycle.Bin\\S-1\\$RA");
       },
       L"$RA", false},
      {"the item is another file than the one recycled", nullptr, L"$RB", true},
      {"the item holds a protected folder under another name",
       [](fs::FakeFileSystem& files, std::set<fs::FileId>& ids) {
         files.addFile(L"C:\\ProgramData\\settings.ini", 3);
         files.erase(L"D:\\$Recycle.Bin\\S-1\\$RA");
         files.addAlias(L"D:\\$Recycle.Bin\\S-1\\$RA\\mount", L"C:\\ProgramData");
         ids = fs::protectedIdentities(files, {L"C:\\ProgramData"});
       },
       L"$RA", true},
      {"the item is in use",
       [](fs::FakeFileSystem& files, std::set<fs::FileId>&) {
         files.setInUse(L"D:\\$Recycle.Bin\\S-1\\$RA", true);
       },
       L"$RA", true},
      {"the item was swapped after it was listed",
       [](fs::FakeFileSystem& files, std::set<fs::FileId>&) {
         files.setLookupHook([&files](const std::wstring&, const std::wstring& name) {
           if (name != L"$RA") return;
           files.setLookupHook(nullptr);
           files.erase(L"D:\\$Recycle.Bin\\S-1\\$RA");
           files.addFile(L"D:\\$Recycle.Bin\\S-1\\$RA", 10);
         });
       },
       L"$RA", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs_.erase(L"D:\\$Recycle.Bin");
    protected_.clear();
    add(L"S-1", L"B", indexFile(2, L"D:\\b", 5));
    add(L"S-1", L"A", indexFile(2, L"D:\\a", 5));
    const uint64_t recycledId = itemId(L"S-1", c.recycled);
    if (c.damage) c.damage(fs_, protected_);
    EXPECT_FALSE(purgeWithId(L"D:\\a", L"S-1", recycledId));
    EXPECT_TRUE(has(L"S-1", L"$IA"));
    EXPECT_EQ(has(L"S-1", L"$RA"), c.itemStays);
    EXPECT_TRUE(has(L"S-1", L"$RB"));
  }
  EXPECT_TRUE(fs_.exists(L"C:\\ProgramData\\settings.ini"));
}

}  // namespace
}  // namespace tidvale
