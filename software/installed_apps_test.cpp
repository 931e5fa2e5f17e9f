#include "software/installed_apps.h"

#include <windows.h>

#include <objidl.h>
// GDI+ needs the COM declarations above.
#include <gdiplus.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "core/lower_case.h"
#include "shell/test_temp_folder.h"
#include "software/app_icon.h"
#include "software/test_registry.h"
#include "win/text.h"

namespace tidvale::software {
namespace {

using shell::testing::TestTempFolder;
using testing::TestKey;
using testing::uniqueName;

std::wstring entryPath(const std::wstring& name) {
  return std::wstring(kUninstallKeyPath) + L"\\" + name;
}

// One Uninstall entry of the test's own, named uniquely, with a display name and uninstall
// string unless the test takes them away.
struct TestApp {
  TestApp(HKEY hive, REGSAM view, const std::wstring& displayName,
          const std::wstring& keyName = uniqueName(L"TidvaleTestApp"))
      : bundleId(keyName), key(hive, entryPath(keyName), view) {
    if (!displayName.empty()) key.setString(L"DisplayName", displayName);
    key.setString(L"UninstallString", L"C:\\uninstall.exe /S");
  }
  std::wstring bundleId;
  TestKey key;
};

std::string field(const EncodableMap& app, const char* key) {
  return std::get<std::string>(app.at(EncodableValue(key)));
}
int64_t sizeField(const EncodableMap& app) {
  return std::get<int64_t>(app.at(EncodableValue("size")));
}

class ListAppsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static ULONG_PTR token = 0;
    if (token == 0) {
      Gdiplus::GdiplusStartupInput input;
      ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    }
  }

  // The listed entries whose display name equals `name` ignoring case.
  std::vector<EncodableMap> listed(const std::wstring& name) {
    reply_ = listApps(state_);
    std::vector<EncodableMap> found;
    for (const auto& app : std::get<EncodableList>(reply_.at(EncodableValue("apps")))) {
      const auto& map = std::get<EncodableMap>(app);
      if (toLowerUnits(win::toUtf16(field(map, "name"))) == toLowerUnits(name)) {
        found.push_back(map);
      }
    }
    return found;
  }
  std::optional<EncodableMap> listedOnce(const std::wstring& name) {
    auto found = listed(name);
    EXPECT_LE(found.size(), 1u) << win::toUtf8(name) << " listed more than once";
    if (found.empty()) return std::nullopt;
    return found.front();
  }

  ServiceState state_;
  EncodableMap reply_;
};

TEST_F(ListAppsTest, SameNameInThreePlacesIsListedOnceFromTheMachine64BitView) {
  const std::wstring name = uniqueName(L"Tidvale Dup");
  TestApp user(HKEY_CURRENT_USER, 0, toLowerUnits(name));
  TestApp machine32(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, name);
  TestApp machine64(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, name);
  user.key.setString(L"Publisher", L"user");
  machine32.key.setString(L"Publisher", L"32-bit");
  machine64.key.setString(L"Publisher", L"64-bit");

  const auto app = listedOnce(name);
  ASSERT_TRUE(app);
  EXPECT_EQ(field(*app, "publisher"), "64-bit");
  EXPECT_EQ(field(*app, "bundleId"), win::toUtf8(machine64.bundleId));
}

TEST_F(ListAppsTest, ALeftOutEntryDoesNotHideTheSameNameElsewhere) {
  const std::wstring name = uniqueName(L"Tidvale Hidden");
  TestApp machine64(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, name);
  machine64.key.setDword(L"SystemComponent", 1);
  TestApp user(HKEY_CURRENT_USER, 0, name);
  user.key.setString(L"Publisher", L"user");

  const auto app = listedOnce(name);
  ASSERT_TRUE(app);
  EXPECT_EQ(field(*app, "publisher"), "user");
}

TEST_F(ListAppsTest, SystemComponentsAndEntriesWithoutNameOrUninstallStringAreLeftOut) {
  struct Case {
    const wchar_t* stem;
    void (*prepare)(TestKey&);
    bool listed;
  };
  const Case cases[] = {
      {L"Tidvale Plain", [](TestKey&) {}, true},
      {L"Tidvale SysDword1", [](TestKey& k) { k.setDword(L"SystemComponent", 1); }, false},
      {L"Tidvale SysDword0", [](TestKey& k) { k.setDword(L"SystemComponent", 0); }, true},
      {L"Tidvale SysText1", [](TestKey& k) { k.setString(L"SystemComponent", L"1"); }, true},
      {L"Tidvale NoUninstall", [](TestKey& k) { k.deleteValue(L"UninstallString"); }, false},
      {L"Tidvale EmptyUninstall", [](TestKey& k) { k.setString(L"UninstallString", L""); }, false},
      {L"Tidvale DwordUninstall", [](TestKey& k) { k.setDword(L"UninstallString", 7); }, false},
      {L"Tidvale ExpandUninstall",
       [](TestKey& k) { k.setString(L"UninstallString", L"%SystemRoot%\\u.exe", REG_EXPAND_SZ); },
       true},
  };
  for (const auto& c : cases) {
    const std::wstring name = uniqueName(c.stem);
    TestApp app(HKEY_CURRENT_USER, 0, name);
    c.prepare(app.key);
    EXPECT_EQ(listedOnce(name).has_value(), c.listed) << win::toUtf8(c.stem);
  }
}

TEST_F(ListAppsTest, SizesAreRecordedKiBOrTheMeasuredInstallFolder) {
  TestTempFolder folder;
  std::ofstream(std::filesystem::path(folder.child(L"a.bin")), std::ios::binary) << std::string(1000, 'a');
  ASSERT_TRUE(::CreateDirectoryW(folder.child(L"sub").c_str(), nullptr));
  std::ofstream(std::filesystem::path(folder.child(L"sub\\b.bin")), std::ios::binary) << std::string(234, 'b');
  constexpr int64_t kMeasured = 1234;

  struct Case {
    const wchar_t* stem;
    std::optional<DWORD> estimatedKiB;
    std::wstring location;  // written as InstallLocation unless empty
    int64_t size;
    std::string path;
  };
  const std::wstring quoted = L"\"" + folder.path() + L"\"";
  const Case cases[] = {
      {L"Tidvale Recorded", 2048, folder.path(), 2097152, win::toUtf8(folder.path())},
      // The recorded figure is unsigned: the largest one must not turn negative.
      {L"Tidvale Huge", 0xFFFFFFFFu, L"", int64_t{0xFFFFFFFF} * 1024, ""},
      {L"Tidvale Measured", std::nullopt, folder.path(), kMeasured, win::toUtf8(folder.path())},
      {L"Tidvale Zero", 0, folder.path(), kMeasured, win::toUtf8(folder.path())},
      {L"Tidvale Quoted", std::nullopt, quoted, kMeasured, win::toUtf8(folder.path())},
      {L"Tidvale Nowhere", std::nullopt, L"", 0, ""},
      {L"Tidvale Missing", std::nullopt, folder.child(L"gone"), 0,
       win::toUtf8(folder.child(L"gone"))},
      // Only one quote pair around the text is removed; a quote inside stays.
      {L"Tidvale Inner", 1, L"\"C:\\a \"b\" c\"", 1024, "C:\\a \"b\" c"},
  };
  for (const auto& c : cases) {
    const std::wstring name = uniqueName(c.stem);
    TestApp app(HKEY_CURRENT_USER, 0, name);
    if (c.estimatedKiB) app.key.setDword(L"EstimatedSize", *c.estimatedKiB);
    if (!c.location.empty()) app.key.setString(L"InstallLocation", c.location);
    const auto listedApp = listedOnce(name);
    ASSERT_TRUE(listedApp) << win::toUtf8(c.stem);
    EXPECT_EQ(sizeField(*listedApp), c.size) << win::toUtf8(c.stem);
    EXPECT_EQ(field(*listedApp, "path"), c.path) << win::toUtf8(c.stem);
  }
}

TEST_F(ListAppsTest, EntriesCarryEveryFieldAndComeLargestFirst) {
  const std::wstring name = uniqueName(L"Tidvale Fields");
  TestApp app(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, name);
  app.key.setString(L"DisplayVersion", L"1.2.3");
  app.key.setString(L"Publisher", L"Brightline \u00e9");
  app.key.setString(L"QuietUninstallString", L"%SystemRoot%\\u.exe /quiet", REG_EXPAND_SZ);
  app.key.setDword(L"EstimatedSize", 3);
  TestApp other(HKEY_CURRENT_USER, 0, uniqueName(L"Tidvale Larger"));
  other.key.setDword(L"EstimatedSize", 5000);

  const auto listedApp = listedOnce(name);
  ASSERT_TRUE(listedApp);
  EXPECT_EQ(field(*listedApp, "version"), "1.2.3");
  EXPECT_EQ(field(*listedApp, "publisher"), "Brightline \xc3\xa9");
  EXPECT_EQ(field(*listedApp, "uninstall"), "C:\\uninstall.exe /S");
  wchar_t windows[MAX_PATH] = {};
  ::ExpandEnvironmentStringsW(L"%SystemRoot%", windows, MAX_PATH);
  EXPECT_EQ(field(*listedApp, "quietUninstall"), win::toUtf8(windows) + "\\u.exe /quiet");
  EXPECT_EQ(field(*listedApp, "bundleId"), win::toUtf8(app.bundleId));
  EXPECT_EQ(field(*listedApp, "icon"), "");
  EXPECT_EQ(listedApp->at(EncodableValue("isApple")), EncodableValue(false));
  EXPECT_EQ(listedApp->at(EncodableValue("modified")), EncodableValue(int64_t{0}));
  EXPECT_EQ(listedApp->size(), 11u);

  const auto& apps = std::get<EncodableList>(reply_.at(EncodableValue("apps")));
  for (size_t i = 1; i < apps.size(); ++i) {
    EXPECT_GE(sizeField(std::get<EncodableMap>(apps[i - 1])),
              sizeField(std::get<EncodableMap>(apps[i])));
  }
}

// The folder of this test program, where the build keeps test_icon.ico.
std::wstring programPath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}
std::wstring programFolder() {
  const std::wstring path = programPath();
  return path.substr(0, path.rfind(L'\\'));
}

constexpr unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t bigEndian32(const std::vector<BYTE>& bytes, size_t at) {
  return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
         (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

// Checks that `base64` is one PNG image with a plausible icon size: signature, IHDR first,
// IEND last.
void expectPngIcon(const std::string& base64, const char* what) {
  ASSERT_FALSE(base64.empty()) << what;
  EXPECT_EQ(base64.find_first_of("\r\n"), std::string::npos) << what;
  EXPECT_EQ(base64.size() % 4, 0u) << what;
  DWORD size = 0;
  ASSERT_TRUE(::CryptStringToBinaryA(base64.c_str(), 0, CRYPT_STRING_BASE64, nullptr, &size,
                                     nullptr, nullptr))
      << what;
  std::vector<BYTE> png(size);
  ASSERT_TRUE(::CryptStringToBinaryA(base64.c_str(), 0, CRYPT_STRING_BASE64, png.data(), &size,
                                     nullptr, nullptr));
  ASSERT_GE(png.size(), 8u + 25u + 12u) << what;
  EXPECT_TRUE(std::equal(std::begin(kPngSignature), std::end(kPngSignature), png.begin())) << what;
  EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR") << what;
  const uint32_t width = bigEndian32(png, 16);
  const uint32_t height = bigEndian32(png, 20);
  EXPECT_TRUE(width >= 16 && width <= 256 && width == height) << what << " " << width;
  EXPECT_EQ(std::string(png.end() - 8, png.end() - 4), "IEND") << what;
}

TEST_F(ListAppsTest, IconsComeFromProgramsIcoFilesAndExpandedPathsAsPng) {
  const std::wstring ico = programFolder() + L"\\test_icon.ico";
  ASSERT_NE(::GetFileAttributesW(ico.c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TIDVALE_TEST_ICON_DIR", programFolder().c_str()));

  struct Case {
    const char* what;
    std::wstring displayIcon;
    DWORD type;
    bool icon;
  };
  const Case cases[] = {
      {"quoted program, index 0", L"\"" + programPath() + L"\",0", REG_SZ, true},
      {"program without index", programPath(), REG_SZ, true},
      {"ico file", ico, REG_SZ, true},
      {"expanded ico path", L"%TIDVALE_TEST_ICON_DIR%\\test_icon.ico", REG_EXPAND_SZ, true},
      // Only REG_EXPAND_SZ text is expanded: the same text as REG_SZ names no file.
      {"unexpanded ico path", L"%TIDVALE_TEST_ICON_DIR%\\test_icon.ico", REG_SZ, false},
      {"missing file", programFolder() + L"\\no-such-icon.ico,0", REG_SZ, false},
  };
  for (const auto& c : cases) {
    const std::wstring name = uniqueName(L"Tidvale Icon");
    TestApp app(HKEY_CURRENT_USER, 0, name);
    app.key.setString(L"DisplayIcon", c.displayIcon, c.type);
    const auto listedApp = listedOnce(name);
    ASSERT_TRUE(listedApp) << c.what;
    if (c.icon) {
      expectPngIcon(field(*listedApp, "icon"), c.what);
    } else {
      EXPECT_EQ(field(*listedApp, "icon"), "") << c.what;
    }
  }
}

TEST(ParseIconLocation, IndexAfterTheLastCommaReadLikeWtoi) {
  const struct {
    const wchar_t* text;
    const wchar_t* path;
    int index;
  } cases[] = {
      {L"\"C:\\a b\\app.exe\",0", L"\"C:\\a b\\app.exe\"", 0},
      {L"C:\\app.exe,-101", L"C:\\app.exe", -101},
      {L"C:\\app.exe, 3", L"C:\\app.exe", 3},
      {L"C:\\app.exe,2x", L"C:\\app.exe", 2},
      {L"C:\\app.exe,x", L"C:\\app.exe", 0},
      {L"C:\\a,b\\app.exe,4", L"C:\\a,b\\app.exe", 4},
      {L"C:\\app.ico", L"C:\\app.ico", 0},
      {L"C:\\app.exe,", L"C:\\app.exe,", 0},  // a trailing comma stays in the path
      {L"", L"", 0},
  };
  for (const auto& c : cases) {
    const IconLocation location = parseIconLocation(c.text);
    EXPECT_EQ(location.path, c.path) << win::toUtf8(c.text);
    EXPECT_EQ(location.index, c.index) << win::toUtf8(c.text);
  }
}

TEST_F(ListAppsTest, IconOfAMissingFileFallsBackToTheGivenPath) {
  const std::wstring ico = programFolder() + L"\\test_icon.ico";
  EXPECT_FALSE(iconToPngBase64(L"C:\\no-such\\app.exe,0", ico).empty());
  EXPECT_EQ(iconToPngBase64(L"C:\\no-such\\app.exe,0", L"C:\\no-such\\app.exe"), "");
  EXPECT_EQ(iconToPngBase64(L"", L""), "");
}

}  // namespace
}  // namespace tidvale::software
