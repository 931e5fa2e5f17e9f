#include "scanners/junk_scan.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "channels/event_sink.h"
#include "core/dispatcher.h"
#include "core/recording_channels_test_support.h"
#include "fs/test_paths_win.h"
#include "scanners/junk_reply_test_support.h"
#include "win/known_folder.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::JunkItem;
using testing::JunkReply;

constexpr wchar_t kTemp[] = L"TEMP";
constexpr UINT kEmptyBinFlags = SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND;

std::optional<std::wstring> environmentVariable(const wchar_t* name) {
  wchar_t buffer[1024];
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, std::size(buffer));
  if (length == 0 || length >= std::size(buffer)) return std::nullopt;
  return std::wstring(buffer, length);
}

int64_t recycleBinBytesNow() {
  SHQUERYRBINFO info{};
  info.cbSize = sizeof(info);
  return SUCCEEDED(::SHQueryRecycleBinW(nullptr, &info)) ? info.i64Size : -1;
}

// Runs the scan of the real machine with TEMP pointing at LocalAppData\Temp, the layout in which
// the catalogue's entries overlap. Everything a test creates carries a unique name and goes away.
class JunkScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatcher().drain();
    state_.eventSink = std::make_unique<testing::RecordingEventSink>(&events_);
    ASSERT_FALSE(local_.empty());
    ASSERT_FALSE(profile_.empty());
    ASSERT_EQ(local_.rfind(profile_, 0), 0u) << "LocalAppData lies in the profile";
    savedTemp_ = environmentVariable(kTemp);
    created_.folder(temp_);
    ASSERT_TRUE(::SetEnvironmentVariableW(kTemp, temp_.c_str()));
  }

  void TearDown() override {
    ::SetEnvironmentVariableW(kTemp, savedTemp_ ? savedTemp_->c_str() : nullptr);
    dispatcher().drain();
  }

  JunkReply scan() {
    const EncodableMap reply = scanJunk(state_);
    dispatcher().drain();
    JunkReply read = testing::readJunkReply(reply);
    testing::expectConsistent(read);
    EXPECT_THAT(read.ids(),
                ElementsAre("temp", "userCache", "userLogs", "systemCache", "trash", "developer",
                            "browsers", "crashReports", "thumbnails", "windowsOld"));
    EXPECT_FALSE(read.cancelled);
    const auto events = testing::readProgressEvents(events_);
    EXPECT_FALSE(events.empty());
    if (!events.empty()) {
      EXPECT_EQ(events.back().task, "junk");
      EXPECT_EQ(events.back().path, "");
      EXPECT_EQ(events.back().count, read.count);
      EXPECT_EQ(events.back().bytes, read.total);
    }
    events_.clear();
    return read;
  }

  static std::string utf8(const std::wstring& path) { return win::toUtf8(path); }

  win::ComApartment com_;
  ServiceState state_;
  std::vector<EncodableValue> events_;
  const std::wstring local_ = win::knownFolderPath(FOLDERID_LocalAppData);
  const std::wstring profile_ = win::homeFolder();
  const std::wstring temp_ = local_ + L"\\Temp";
  const std::wstring unique_ = L"tidvale-junk-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                               std::to_wstring(::GetTickCount64());
  std::optional<std::wstring> savedTemp_;
  testing::CreatedPaths created_;
};

TEST_F(JunkScanTest, TempEntriesAreItemsAndIntelliCodeLogsBelongToDeveloper) {
  const std::wstring file = temp_ + L"\\" + unique_ + L".tmp";
  const std::wstring folder = temp_ + L"\\" + unique_ + L"-dir";
  const std::wstring empty = temp_ + L"\\" + unique_ + L"-empty";
  const std::wstring logs = temp_ + L"\\VSFeedbackIntelliCodeLogs";
  if (testing::pathExists(logs)) GTEST_SKIP() << "the prefix already has IntelliCode logs";
  created_.file(file, 33);
  created_.file(folder + L"\\inner.bin", 44);
  created_.folder(empty);
  created_.file(logs + L"\\" + unique_ + L".log", 55);

  const JunkReply reply = scan();

  const auto* temp = reply.category("temp");
  ASSERT_NE(temp, nullptr);
  const JunkItem* fileItem = temp->find(utf8(file));
  ASSERT_NE(fileItem, nullptr);
  EXPECT_EQ(fileItem->name, utf8(unique_ + L".tmp"));
  EXPECT_EQ(fileItem->size, 33);
  EXPECT_FALSE(fileItem->isDir);
  EXPECT_GT(fileItem->modified, 1'600'000'000);
  const JunkItem* folderItem = temp->find(utf8(folder));
  ASSERT_NE(folderItem, nullptr);
  EXPECT_TRUE(folderItem->isDir);
  EXPECT_EQ(folderItem->size, 44);
  EXPECT_THAT(reply.categoriesOf(utf8(empty)), IsEmpty());

  EXPECT_THAT(reply.categoriesOf(utf8(logs)), ElementsAre("developer"));
  const JunkItem* logsItem = reply.category("developer")->find(utf8(logs));
  ASSERT_NE(logsItem, nullptr);
  EXPECT_EQ(logsItem->name, "~" + utf8(logs.substr(profile_.size())));
  EXPECT_EQ(logsItem->modified, 0);
}

TEST_F(JunkScanTest, TempInShortFormIsReportedInLongForm) {
  const std::wstring longTemp = temp_ + L"\\" + unique_ + L"-long-folder-name";
  created_.file(longTemp + L"\\entry.bin", 9);
  wchar_t shortBuffer[MAX_PATH];
  const DWORD length = ::GetShortPathNameW(longTemp.c_str(), shortBuffer, MAX_PATH);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, DWORD{MAX_PATH});
  const std::wstring shortTemp(shortBuffer, length);
  ASSERT_NE(shortTemp, longTemp) << "the file system gave no short name";
  ASSERT_TRUE(::SetEnvironmentVariableW(kTemp, shortTemp.c_str()));

  const JunkReply reply = scan();

  EXPECT_THAT(reply.categoriesOf(utf8(longTemp + L"\\entry.bin")), ElementsAre("temp"));
  EXPECT_THAT(reply.categoriesOf(utf8(shortTemp + L"\\entry.bin")), IsEmpty());
}

TEST_F(JunkScanTest, UserCacheFolderIsOneItemNamedFromTheProfile) {
  const std::wstring cache = local_ + L"\\D3DSCache";
  if (testing::pathExists(cache)) GTEST_SKIP() << "the prefix already has a D3DSCache";
  created_.file(cache + L"\\" + unique_ + L".bin", 77);

  const JunkReply reply = scan();

  EXPECT_THAT(reply.categoriesOf(utf8(cache)), ElementsAre("userCache"));
  const JunkItem* item = reply.category("userCache")->find(utf8(cache));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->name, "~\\AppData\\Local\\D3DSCache");
  EXPECT_EQ(item->size, 77);
  EXPECT_TRUE(item->isDir);
  EXPECT_EQ(item->modified, 0);
}

TEST_F(JunkScanTest, ThumbnailAndIconCachesByPrefix) {
  const std::wstring explorer = local_ + L"\\Microsoft\\Windows\\Explorer\\";
  const std::wstring icon = explorer + L"IconCache_" + unique_ + L".db";
  const std::wstring thumb = explorer + L"thumbcache_" + unique_ + L".db";
  const std::wstring plain = explorer + L"iconcache" + unique_ + L".db";
  created_.file(icon, 12);
  created_.file(thumb, 13);
  created_.file(plain, 14);

  const JunkReply reply = scan();

  EXPECT_THAT(reply.categoriesOf(utf8(icon)), ElementsAre("thumbnails"));
  EXPECT_THAT(reply.categoriesOf(utf8(thumb)), ElementsAre("thumbnails"));
  EXPECT_THAT(reply.categoriesOf(utf8(plain)), IsEmpty());
  const JunkItem* item = reply.category("thumbnails")->find(utf8(thumb));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->name, utf8(L"thumbcache_" + unique_ + L".db"));
  EXPECT_EQ(item->size, 13);
  EXPECT_FALSE(item->isDir);
  EXPECT_GT(item->modified, 0);
}

TEST_F(JunkScanTest, ReportFoldersBelongToCrashReports) {
  const std::wstring wer = local_ + L"\\Microsoft\\Windows\\WER";
  const std::wstring programWer =
      win::knownFolderPath(FOLDERID_ProgramData) + L"\\Microsoft\\Windows\\WER";
  const std::wstring archived = wer + L"\\ReportArchive\\" + unique_;
  const std::wstring queued = wer + L"\\ReportQueue\\" + unique_;
  const std::wstring machineQueued = programWer + L"\\ReportQueue\\" + unique_;
  const std::wstring other = wer + L"\\" + unique_;
  created_.file(archived + L"\\Report.wer", 21);
  created_.file(queued + L"\\Report.wer", 22);
  created_.file(machineQueued + L"\\Report.wer", 23);
  created_.file(other + L"\\Report.wer", 24);

  const JunkReply reply = scan();

  EXPECT_THAT(reply.categoriesOf(utf8(archived)), ElementsAre("crashReports"));
  EXPECT_THAT(reply.categoriesOf(utf8(queued)), ElementsAre("crashReports"));
  EXPECT_THAT(reply.categoriesOf(utf8(machineQueued)), ElementsAre("crashReports"));
  EXPECT_THAT(reply.categoriesOf(utf8(other)), ElementsAre("userLogs"));
  for (const auto& category : reply.categories) {
    EXPECT_EQ(category.find(utf8(wer + L"\\ReportArchive")), nullptr) << category.id;
    EXPECT_EQ(category.find(utf8(wer + L"\\ReportQueue")), nullptr) << category.id;
  }
}

TEST_F(JunkScanTest, FirefoxProfileCacheIsABrowserItem) {
  const std::wstring cache =
      local_ + L"\\Mozilla\\Firefox\\Profiles\\" + unique_ + L".default\\cache2";
  created_.file(cache + L"\\entries\\ABCDEF", 31);

  const JunkReply reply = scan();

  EXPECT_THAT(reply.categoriesOf(utf8(cache)), ElementsAre("browsers"));
  const JunkItem* item = reply.category("browsers")->find(utf8(cache));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->size, 31);
  EXPECT_EQ(item->name, "~" + utf8(cache.substr(profile_.size())));
}

TEST_F(JunkScanTest, NonEmptyRecycleBinIsOneItem) {
  testing::TempFolder folder;
  folder.file(unique_ + L".bin", 4321);
  // The shell wants a list ended by an empty string.
  const std::wstring from = (folder / (unique_ + L".bin")) + L'\0';
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  ASSERT_EQ(::SHFileOperationW(&operation), 0);
  const int64_t binBytes = recycleBinBytesNow();
  ASSERT_GE(binBytes, 4321);

  const JunkReply reply = scan();
  const bool emptied = SUCCEEDED(::SHEmptyRecycleBinW(nullptr, nullptr, kEmptyBinFlags));

  const auto* trash = reply.category("trash");
  ASSERT_NE(trash, nullptr);
  ASSERT_EQ(trash->items.size(), 1u);
  const JunkItem& bin = trash->items[0];
  EXPECT_EQ(bin.path, "recycle:");
  EXPECT_EQ(bin.name, "Recycle Bin");
  EXPECT_EQ(bin.size, binBytes);
  EXPECT_TRUE(bin.isDir);
  EXPECT_EQ(bin.modified, 0);
  EXPECT_TRUE(emptied);

  const JunkReply after = scan();
  EXPECT_THAT(after.category("trash")->items, IsEmpty());
}

}  // namespace
}  // namespace tidvale
