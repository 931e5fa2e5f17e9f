#include "scanners/file_content_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/lower_hex.h"
#include "fs/test_paths_win.h"
#include "shell/sha256.h"
#include "win/unique_resource.h"

namespace tidvale {
namespace {

using testing::TempFolder;

constexpr char kEmptySha256[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr char kAbcSha256[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

void writeFile(const std::wstring& path, const std::string& bytes) {
  win::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.valid());
  DWORD written = 0;
  ASSERT_TRUE(
      ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  ASSERT_EQ(written, bytes.size());
}

// The reference digest, hashed in memory in one call.
std::string referenceSha256(const std::string& bytes) {
  const auto digest = shell::sha256(bytes);
  if (!digest) return "<failed>";
  return lowerHex(*digest);
}

// Bytes that differ from position to position, so that a chunk hashed twice or skipped shows.
std::string pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
  return bytes;
}

class FileContentWinTest : public ::testing::Test {
 protected:
  std::wstring write(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = folder_ / name;
    writeFile(path, bytes);
    written_.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const std::wstring& path : written_) ::DeleteFileW(path.c_str());
  }

  TempFolder folder_;
  std::vector<std::wstring> written_;
};

TEST_F(FileContentWinTest, HashFileDigestsThePrefixOrTheWholeFile) {
  const std::string big = pattern(3 * 1048576 + 12345);  // several 1 MiB reads
  const std::wstring empty = write(L"empty", "");
  const std::wstring abc = write(L"abc", "abcdef");
  const std::wstring large = write(L"large", big);
  const struct {
    std::wstring path;
    int64_t limit;
    std::string expected;
  } cases[] = {
      {empty, -1, kEmptySha256},
      {empty, 65536, kEmptySha256},
      {abc, 3, kAbcSha256},
      {abc, -1, referenceSha256("abcdef")},
      {abc, 100, referenceSha256("abcdef")},
      {large, 65536, referenceSha256(big.substr(0, 65536))},
      {large, 1048577, referenceSha256(big.substr(0, 1048577))},
      {large, -1, referenceSha256(big)},
      {folder_ / L"missing", -1, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hashFile(c.path, c.limit), c.expected) << c.limit;
  }
}

TEST_F(FileContentWinTest, TheWholeDigestContinuesFromTheBeginningsState) {
  const std::string big = pattern(2 * 1048576 + 77);
  const std::wstring path = write(L"big", big);
  const auto first = makeWin32ContentReader();
  const auto second = makeWin32ContentReader();  // the stages may run on different workers

  BeginningDigest beginning = first->digestBeginning(path, static_cast<int64_t>(big.size()));
  EXPECT_EQ(beginning.digest, referenceSha256(big.substr(0, kPartialDigestBytes)));
  EXPECT_NE(beginning.continuation, nullptr);
  const int64_t size = static_cast<int64_t>(big.size());
  EXPECT_EQ(second->digestWhole(path, size, beginning.continuation.get()), referenceSha256(big));
  EXPECT_EQ(second->digestWhole(path, size, nullptr), referenceSha256(big));

  // A file of at most 64 KiB is digested whole at once and leaves nothing to continue.
  const std::string small = pattern(kPartialDigestBytes);
  const std::wstring smallPath = write(L"small", small);
  const BeginningDigest whole = first->digestBeginning(smallPath, kPartialDigestBytes);
  EXPECT_EQ(whole.digest, referenceSha256(small));
  EXPECT_EQ(whole.continuation, nullptr);
}

TEST_F(FileContentWinTest, AFileOfAnotherLengthThanListedHasNoDigest) {
  const std::string bytes = pattern(100);
  const std::wstring path = write(L"hundred", bytes);
  const std::string big = pattern(100000);
  const std::wstring bigPath = write(L"big", big);
  const auto reader = makeWin32ContentReader();
  EXPECT_EQ(reader->digestBeginning(path, 100).digest, referenceSha256(bytes));
  EXPECT_EQ(reader->digestWhole(path, 100, nullptr), referenceSha256(bytes));
  EXPECT_EQ(reader->digestBeginning(path, 120).digest, "") << "shorter than listed";
  EXPECT_EQ(reader->digestBeginning(path, 80).digest, "") << "longer than listed";
  EXPECT_EQ(reader->digestWhole(path, 120, nullptr), "") << "shorter than listed";
  EXPECT_EQ(reader->digestWhole(path, 80, nullptr), "") << "longer than listed";
  EXPECT_EQ(reader->digestBeginning(path, 70000).digest, "") << "fewer bytes than the beginning";

  BeginningDigest beginning = reader->digestBeginning(bigPath, 100000);
  EXPECT_EQ(beginning.digest, referenceSha256(big.substr(0, kPartialDigestBytes)));
  EXPECT_EQ(reader->digestWhole(bigPath, 100001, beginning.continuation.get()), "");
}

TEST_F(FileContentWinTest, AFileLockedAgainstReadingHasNoDigest) {
  const std::wstring path = write(L"locked", "abc");
  win::UniqueFileHandle holder(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder.valid());
  EXPECT_EQ(hashFile(path, -1), "");
  holder.reset();
  EXPECT_EQ(hashFile(path, -1), kAbcSha256);
}

TEST_F(FileContentWinTest, HardLinksShareAnIdentityCopiesDoNot) {
  const std::wstring original = write(L"original", "same");
  const std::wstring copy = write(L"copy", "same");
  const std::wstring link = folder_ / L"link";
  ASSERT_TRUE(::CreateHardLinkW(link.c_str(), original.c_str(), nullptr));
  written_.push_back(link);

  const auto reader = makeWin32ContentReader();
  const auto originalId = reader->identity(original);
  ASSERT_TRUE(originalId.has_value());
  EXPECT_EQ(reader->identity(link), originalId);
  EXPECT_NE(reader->identity(copy), originalId);
  EXPECT_EQ(reader->identity(folder_ / L"missing"), std::nullopt);
}

}  // namespace
}  // namespace tidvale
