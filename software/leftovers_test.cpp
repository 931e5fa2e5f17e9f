#include "software/leftovers.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <optional>
#include <vector>

#include "core/lower_case.h"
#include "software/test_support.h"
#include "software/uninstall_places.h"
#include "win/known_folder.h"

namespace tidvale::software {
namespace {

using testing::field;
using testing::TestFile;
using testing::TestKey;
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

// An Uninstall entry carrying only a display name: any entry names its application's folders.
struct Registered {
  Registered(const std::wstring& displayName, HKEY hive = HKEY_CURRENT_USER, REGSAM view = 0)
      : key(hive, uninstallEntryPath(uniqueName(L"TidvaleLeftoverKey")), view) {
    key.set(L"DisplayName", displayName);
  }
  TestKey key;
};

// A folder made for one case when it is missing; one of Windows' own or an earlier test's stays.
std::unique_ptr<TestFolder> folderIfMissing(const std::wstring& path) {
  if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return nullptr;
  return std::make_unique<TestFolder>(path);
}

TEST(AppLeftovers, OffersNoFolderThatAnotherApplicationOrNoApplicationOwns) {
  const std::wstring roaming = win::knownFolderPath(FOLDERID_RoamingAppData);
  const std::wstring local = win::knownFolderPath(FOLDERID_LocalAppData);
  enum Root { Roaming, Local };
  struct Folder {
    Root root;
    std::wstring name;  // "%" stands for the case's unique word
    bool offered;
    bool weak;
  };
  struct Case {
    const char* what;
    std::wstring name;
    std::wstring publisher;
    std::vector<std::wstring> others;  // display names registered beside the asked one
    int registeredTwice;               // the asked name registered this many times as well
    std::vector<Folder> folders;
  };
  const Case cases[] = {
      {"a product family's shared folder",
       L"% 7.6 Help Pack (English)",
       L"The Document Foundation",
       {L"% 7.6.4.1"},
       1,
       {{Roaming, L"%", false, false},
        {Local, L"%", false, false},
        {Roaming, L"% 7.6 Help Pack (English)", true, false}}},
      {"another version's full name",
       L"% 2.10",
       L"",
       {L"% 3.0", L"%"},
       0,
       {{Roaming, L"%", false, false}}},
      {"punctuation after the publisher's word",
       L"% Update Helper",
       L"%, Inc.",
       {},
       0,
       {{Local, L"%", false, false}}},
      {"a leading The before the publisher's word",
       L"% Desktop",
       L"The % Team",
       {},
       0,
       {{Local, L"%", false, false}}},
      {"a one-word name with its own folder, installed for the machine and the user",
       L"%",
       L"",
       {},
       2,
       {{Roaming, L"%", true, false}, {Local, L"%", true, false}}},
      {"a studio by another publisher",
       L"% Studio",
       L"Brightline",
       {},
       1,
       {{Local, L"%", true, true}, {Roaming, L"% Studio", true, false}}},
      {"an ignored first word",
       L"Mozilla %",
       L"",
       {},
       0,
       {{Roaming, L"Mozilla", false, false}, {Roaming, L"Mozilla %", true, false}}},
      {"generic one-word names", L"Tools", L"", {}, 0, {{Roaming, L"Tools", false, false}}},
      {"generic one-word names", L"Update", L"", {}, 0, {{Local, L"Update", false, false}}},
      {"Windows' own folder", L"Templates", L"", {}, 0, {{Roaming, L"Templates", false, false}}},
  };
  for (const auto& c : cases) {
    const std::wstring word = uniqueName(L"Quillnote");
    const auto withWord = [&word](std::wstring text) {
      const size_t at = text.find(L'%');
      return at == std::wstring::npos ? text : text.replace(at, 1, word);
    };
    std::vector<std::unique_ptr<Registered>> registered;
    for (const auto& other : c.others)
      registered.push_back(std::make_unique<Registered>(withWord(other)));
    if (c.registeredTwice > 0) {
      registered.push_back(std::make_unique<Registered>(withWord(c.name)));
    }
    if (c.registeredTwice > 1) {
      registered.push_back(std::make_unique<Registered>(toLowerUnits(withWord(c.name)),
                                                        HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY));
    }
    std::vector<std::unique_ptr<TestFolder>> folders;
    std::vector<std::pair<std::string, bool>> expected;
    for (const auto& f : c.folders) {
      const std::wstring path = (f.root == Roaming ? roaming : local) + L"\\" + withWord(f.name);
      folders.push_back(folderIfMissing(path));
      if (f.offered) expected.emplace_back(win::toUtf8(path), f.weak);
    }
    std::vector<std::pair<std::string, bool>> found;
    for (const auto& item : leftoversOf(withWord(c.name), withWord(c.publisher))) {
      found.emplace_back(item.path, item.weak);
    }
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected) << c.what;
  }
}

}  // namespace
}  // namespace tidvale::software
