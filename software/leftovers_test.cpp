#include "software/leftovers.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "software/test_registry.h"
#include "win/known_folder.h"
#include "win/text.h"

namespace tidvale::software {
namespace {

using testing::uniqueName;

// Folders and files the test makes directly inside the data roots; removed in reverse order.
class RootEntries {
 public:
  RootEntries() = default;
  RootEntries(const RootEntries&) = delete;
  RootEntries& operator=(const RootEntries&) = delete;
  ~RootEntries() {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
      const bool folder = (::GetFileAttributesW(it->c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0;
      EXPECT_TRUE(folder ? ::RemoveDirectoryW(it->c_str()) : ::DeleteFileW(it->c_str()))
          << win::toUtf8(*it);
    }
  }
  std::wstring folder(const std::wstring& path) {
    EXPECT_TRUE(::CreateDirectoryW(path.c_str(), nullptr)) << win::toUtf8(path);
    made_.push_back(path);
    return path;
  }
  std::wstring file(const std::wstring& path, size_t bytes) {
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << win::toUtf8(path);
    std::ofstream(std::filesystem::path(path), std::ios::binary) << std::string(bytes, 'z');
    made_.push_back(path);
    return path;
  }

 private:
  std::vector<std::wstring> made_;
};

struct Found {
  std::string path;
  std::string name;
  int64_t size;
  bool weak;
};

std::vector<Found> leftoversOf(const std::wstring& name, const std::wstring& publisher) {
  ServiceState state;
  const EncodableMap reply = appLeftovers(state, win::toUtf8(name), win::toUtf8(publisher));
  std::vector<Found> found;
  for (const auto& item : std::get<EncodableList>(reply.at(EncodableValue("items")))) {
    const auto& map = std::get<EncodableMap>(item);
    EXPECT_EQ(map.size(), 4u);
    found.push_back({std::get<std::string>(map.at(EncodableValue("path"))),
                     std::get<std::string>(map.at(EncodableValue("name"))),
                     std::get<int64_t>(map.at(EncodableValue("size"))),
                     std::get<bool>(map.at(EncodableValue("weak")))});
  }
  return found;
}

class AppLeftoversTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(roaming_.empty());
    ASSERT_FALSE(local_.empty());
    ASSERT_FALSE(programData_.empty());
    ASSERT_FALSE(profile_.empty());
    // Wine's profile may lack LocalLow: make it for the test and remove it afterwards.
    if (::GetFileAttributesW(localLow_.c_str()) == INVALID_FILE_ATTRIBUTES) {
      madeLocalLow_.emplace();
      madeLocalLow_->folder(localLow_);
    }
  }
  std::string tilde(const std::wstring& path) {
    return "~" + win::toUtf8(path.substr(profile_.size()));
  }

  const std::wstring roaming_ = win::knownFolderPath(FOLDERID_RoamingAppData);
  const std::wstring local_ = win::knownFolderPath(FOLDERID_LocalAppData);
  const std::wstring localLow_ = local_ + L"Low";
  const std::wstring programData_ = win::knownFolderPath(FOLDERID_ProgramData);
  const std::wstring profile_ = win::homeFolder();
  std::optional<RootEntries> madeLocalLow_;
};

TEST_F(AppLeftoversTest, WholeNameMatchesFilesAndFoldersInEveryRootWithSizes) {
  const std::wstring name = uniqueName(L"Pixelfox");
  RootEntries entries;
  const std::wstring inRoaming = entries.folder(roaming_ + L"\\" + name);
  entries.file(inRoaming + L"\\settings.json", 300);
  entries.folder(inRoaming + L"\\cache");
  entries.file(inRoaming + L"\\cache\\blob", 4096);
  std::wstring upper = name;
  for (auto& unit : upper) unit = static_cast<wchar_t>(std::towupper(unit));
  const std::wstring inLocalLow = entries.file(localLow_ + L"\\" + upper, 7);
  const std::wstring inProgramData = entries.folder(programData_ + L"\\" + name);
  entries.folder(local_ + L"\\" + name + L"studio");  // no prefix matching
  entries.folder(local_ + L"\\" + name + L" 2");

  const auto found = leftoversOf(name, L"");
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].path, win::toUtf8(inRoaming));
  EXPECT_EQ(found[0].name, tilde(inRoaming));
  EXPECT_EQ(found[0].size, 300 + 4096);
  EXPECT_FALSE(found[0].weak);
  EXPECT_EQ(found[1].path, win::toUtf8(inLocalLow));
  EXPECT_EQ(found[1].size, 7);
  EXPECT_FALSE(found[1].weak);
  EXPECT_EQ(found[2].path, win::toUtf8(inProgramData));
  EXPECT_EQ(found[2].name, inProgramData.starts_with(profile_) ? tilde(inProgramData)
                                                               : win::toUtf8(inProgramData));
  EXPECT_EQ(found[2].size, 0);
}

TEST_F(AppLeftoversTest, FirstWordIsAWeakMatchUnlessThePublisherOwnsIt) {
  const std::wstring word = uniqueName(L"Pixelfox");
  RootEntries entries;
  const std::wstring byWord = entries.folder(local_ + L"\\" + word);
  const std::wstring byName = entries.folder(roaming_ + L"\\" + word + L" Studio");

  const auto withOtherPublisher = leftoversOf(word + L" Studio", L"Brightline Ltd");
  ASSERT_EQ(withOtherPublisher.size(), 2u);
  EXPECT_EQ(withOtherPublisher[0].path, win::toUtf8(byName));
  EXPECT_FALSE(withOtherPublisher[0].weak);
  EXPECT_EQ(withOtherPublisher[1].path, win::toUtf8(byWord));
  EXPECT_TRUE(withOtherPublisher[1].weak);

  const auto withOwnPublisher = leftoversOf(word + L" Studio", word + L" Inc");
  ASSERT_EQ(withOwnPublisher.size(), 1u);
  EXPECT_EQ(withOwnPublisher[0].path, win::toUtf8(byName));
}

TEST_F(AppLeftoversTest, IgnoredShortAndEmptyNamesFindNothing) {
  RootEntries entries;
  // Folders Windows keeps in Local AppData: an application named after one must not offer it.
  for (const wchar_t* shared : {L"Comms", L"Temp"}) {
    const std::wstring path = local_ + L"\\" + shared;
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) entries.folder(path);
  }
  EXPECT_TRUE(leftoversOf(L"Comms Hub", L"").empty());
  EXPECT_TRUE(leftoversOf(L"Temp", L"").empty());
  EXPECT_TRUE(leftoversOf(L"Temp Cleaner", L"").empty());
  EXPECT_TRUE(leftoversOf(L"", L"Brightline").empty());

  const std::wstring shortName = L"Qzx";
  if (::GetFileAttributesW((roaming_ + L"\\" + shortName).c_str()) == INVALID_FILE_ATTRIBUTES) {
    entries.folder(roaming_ + L"\\" + shortName);
  }
  EXPECT_TRUE(leftoversOf(shortName, L"").empty());
  EXPECT_TRUE(leftoversOf(shortName + L" Tools", L"").empty());
}

}  // namespace
}  // namespace tidvale::software
