#include "software/leftovers.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <optional>
#include <vector>

#include "software/test_support.h"
#include "win/known_folder.h"

namespace tidvale::software {
namespace {

using testing::field;
using testing::TestFile;
using testing::uniqueName;

// A folder the test makes (it must not exist yet) and removes at the end, once emptied.
class TestFolder {
 public:
  explicit TestFolder(std::wstring path) : path_(std::move(path)) {
    EXPECT_TRUE(::CreateDirectoryW(path_.c_str(), nullptr)) << win::toUtf8(path_);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;
  ~TestFolder() { EXPECT_TRUE(::RemoveDirectoryW(path_.c_str())) << win::toUtf8(path_); }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

struct Found {
  std::string path;
  std::string name;
  int64_t size;
  bool weak;
  bool operator==(const Found&) const = default;
};
void PrintTo(const Found& f, std::ostream* out) {
  *out << "{" << f.path << ", " << f.name << ", " << f.size << ", " << f.weak << "}";
}

std::vector<Found> leftoversOf(const std::wstring& name, const std::wstring& publisher) {
  ServiceState state;
  const EncodableMap reply = appLeftovers(state, win::toUtf8(name), win::toUtf8(publisher));
  std::vector<Found> found;
  for (const auto& item : field<EncodableList>(reply, "items")) {
    const auto& map = std::get<EncodableMap>(item);
    found.push_back({field<std::string>(map, "path"), field<std::string>(map, "name"),
                     field<int64_t>(map, "size"), field<bool>(map, "weak")});
  }
  return found;
}

TEST(AppLeftovers, MatchesInEveryRootWithSizesAndProfileRelativeNames) {
  const std::wstring roaming = win::knownFolderPath(FOLDERID_RoamingAppData);
  const std::wstring local = win::knownFolderPath(FOLDERID_LocalAppData);
  const std::wstring programData = win::knownFolderPath(FOLDERID_ProgramData);
  const std::wstring profile = win::homeFolder();
  ASSERT_TRUE(roaming.starts_with(profile) && local.starts_with(profile) && !profile.empty());
  const auto tilde = [&profile](const std::wstring& path) {
    return "~" + win::toUtf8(path.substr(profile.size()));
  };
  // Wine's profile may lack LocalLow: make it for the test.
  std::optional<TestFolder> localLow;
  if (::GetFileAttributesW((local + L"Low").c_str()) == INVALID_FILE_ATTRIBUTES) {
    localLow.emplace(local + L"Low");
  }
  const std::wstring word = uniqueName(L"Pixelfox");
  std::wstring shouted = word;
  for (auto& unit : shouted) unit = static_cast<wchar_t>(std::towupper(unit));

  TestFolder whole(roaming + L"\\" + word + L" Studio");
  TestFile wholeFile(whole.path() + L"\\settings.json", 300);
  TestFolder cache(whole.path() + L"\\cache");
  TestFile cacheFile(cache.path() + L"\\blob", 4096);
  TestFolder byWord(local + L"\\" + word);
  TestFile inLocalLow(local + L"Low\\" + shouted, 7);
  TestFolder inProgramData(programData + L"\\" + word);
  TestFolder joined(local + L"\\" + word + L"studio");  // no prefix or substring matching
  TestFolder longer(local + L"\\" + word + L" studio 2");
  const std::string programDataName = inProgramData.path().starts_with(profile)
                                          ? tilde(inProgramData.path())
                                          : win::toUtf8(inProgramData.path());

  const std::vector<Found> expected = {
      {win::toUtf8(whole.path()), tilde(whole.path()), 300 + 4096, false},
      {win::toUtf8(byWord.path()), tilde(byWord.path()), 0, true},
      {win::toUtf8(inLocalLow.path()), tilde(inLocalLow.path()), 7, true},
      {win::toUtf8(inProgramData.path()), programDataName, 0, true},
  };
  EXPECT_EQ(leftoversOf(word + L" Studio", L"Brightline Ltd"), expected);
  // The publisher's own first word is no evidence of this product.
  EXPECT_EQ(leftoversOf(word + L" Studio", word + L" Inc"), std::vector<Found>{expected[0]});
  EXPECT_EQ(leftoversOf(word, L"").size(), 3u);
  EXPECT_TRUE(leftoversOf(L"", L"").empty());
}

}  // namespace
}  // namespace tidvale::software
