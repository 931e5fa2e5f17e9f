#include "software/installed_apps.h"

#include <windows.h>

#include <objidl.h>
// GDI+ needs the COM declarations above.
#include <gdiplus.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <functional>

#include "core/lower_case.h"
#include "shell/test_temp_folder.h"
#include "software/app_icon.h"
#include "software/icon_file.h"
#include "software/test_icons.h"
#include "software/test_support.h"

namespace tidvale::software {
namespace {

using testing::field;
using testing::TestFile;
using testing::TestKey;
using testing::uniqueName;
using namespace testing;

// An Uninstall entry of the test's own with a display name and an uninstall string.
struct TestApp {
  TestApp(HKEY hive, REGSAM view, const std::wstring& displayName)
      : key(hive, uninstallEntryPath(bundleId), view) {
    key.set(L"DisplayName", displayName);
    key.set(L"UninstallString", L"C:\\uninstall.exe /S");
  }
  std::wstring bundleId = uniqueName(L"TidvaleTestApp");
  TestKey key;
};

class ListAppsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    if (token == 0) {
      ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    }
  }
  // The entries listed under `name`, whatever its letter case.
  std::vector<EncodableMap> listed(const std::wstring& name) {
    reply_ = listApps(state_);
    std::vector<EncodableMap> found;
    for (const auto& app : field<EncodableList>(reply_, "apps")) {
      const auto& map = std::get<EncodableMap>(app);
      const std::wstring listedName = win::toUtf16(field<std::string>(map, "name"));
      if (toLowerUnits(listedName) == toLowerUnits(name)) found.push_back(map);
    }
    return found;
  }
  ServiceState state_;
  EncodableMap reply_;
};

TEST_F(ListAppsTest, OneEntryPerNameFirstPlaceWinsAndLeftOutEntriesHideNothing) {
  const std::wstring name = uniqueName(L"Tidvale Dup");
  TestApp user(HKEY_CURRENT_USER, 0, toLowerUnits(name));
  TestApp machine32(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, name);
  TestApp machine64(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, name);
  auto found = listed(name);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(field<std::string>(found[0], "bundleId"), win::toUtf8(machine64.bundleId));

  machine64.key.set(L"SystemComponent", DWORD{1});
  found = listed(name);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(field<std::string>(found[0], "bundleId"), win::toUtf8(machine32.bundleId));
}

// PNG signature, IHDR first with a square icon size, IEND last.
bool isPngIcon(const std::string& base64) {
  DWORD size = 0;
  if (base64.find_first_of("\r\n") != std::string::npos ||
      !::CryptStringToBinaryA(base64.c_str(), 0, CRYPT_STRING_BASE64, nullptr, &size, nullptr,
                              nullptr)) {
    return false;
  }
  std::vector<BYTE> png(size);
  ::CryptStringToBinaryA(base64.c_str(), 0, CRYPT_STRING_BASE64, png.data(), &size, nullptr,
                         nullptr);
  const auto be32 = [&png](size_t at) {
    return (uint32_t{png[at]} << 24) | (uint32_t{png[at + 1]} << 16) |
           (uint32_t{png[at + 2]} << 8) | png[at + 3];
  };
  const std::string signature = "\x89PNG\r\n\x1a\n";
  return png.size() > 45 && std::string(png.begin(), png.begin() + 8) == signature &&
         std::string(png.begin() + 12, png.begin() + 16) == "IHDR" && be32(16) >= 16 &&
         be32(16) == be32(20) && std::string(png.end() - 8, png.end() - 4) == "IEND";
}

std::wstring programPath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

TEST_F(ListAppsTest, FiltersSizesPathsAndIcons) {
  shell::testing::TestTempFolder folder;
  TestFile a(folder.child(L"a.bin"), 1000);
  ASSERT_TRUE(::CreateDirectoryW(folder.child(L"sub").c_str(), nullptr));
  TestFile b(folder.child(L"sub\\b.bin"), 234);
  const std::wstring dir = folder.path();
  const std::wstring program = programPath();
  const std::wstring programDir = program.substr(0, program.rfind(L'\\'));
  const std::wstring ico = programDir + L"\\test_icon.ico";  // copied there by the build
  ASSERT_TRUE(::SetEnvironmentVariableW(L"TIDVALE_TEST_ICON_DIR", programDir.c_str()));
  const std::wstring expandedIco = L"%TIDVALE_TEST_ICON_DIR%\\test_icon.ico";
  // Hostile icon files, a few bytes each, and well-formed ones written here.
  shell::testing::TestTempFolder icons;
  TestFile pastEnd(icons.child(L"past-end.ico"), iconFile({{1, 1, bitmapImage(1, 1), 0x7FFFFFF0}}));
  TestFile hugePng(icons.child(L"huge-png.ico"), iconFile({{0, 0, pngImage(16000, 16000)}}));
  TestFile noEntries(icons.child(L"no-entries.ico"), iconFile({}));
  TestFile disguised(icons.child(L"disguised.exe"),
                     iconFile({{1, 1, bitmapImage(1, 1), 0x7FFFFFF0}}));
  TestFile written32(icons.child(L"written32.ico"), bitmapIcon(32));
  TestFile twoSizes(icons.child(L"two-sizes.ico"),
                    iconFile({{16, 16, bitmapImage(16, 16)}, {48, 48, bitmapImage(48, 48, 8)}}));
  Bytes padded = bitmapIcon(32);
  padded.resize(kMaxIconFileBytes + 1);
  TestFile overLimit(icons.child(L"over-limit.ico"), padded);

  struct Case {
    const char* what;
    std::function<void(TestKey&)> prepare;
    bool listed;
    int64_t size;
    std::wstring path;
    bool icon;
  };
  // what, prepare, listed, size, path, icon
  const Case cases[] = {
      {"SystemComponent 1", [](TestKey& k) { k.set(L"SystemComponent", DWORD{1}); }, false, 0, L"",
       false},
      {"SystemComponent text 1", [](TestKey& k) { k.set(L"SystemComponent", L"1"); }, true, 0, L"",
       false},
      {"no uninstall string", [](TestKey& k) { k.remove(L"UninstallString"); }, false, 0, L"",
       false},
      {"empty uninstall string", [](TestKey& k) { k.set(L"UninstallString", L""); }, false, 0, L"",
       false},
      {"recorded size", [](TestKey& k) { k.set(L"EstimatedSize", DWORD{2048}); }, true, 2097152,
       L"", false},
      // The recorded figure is unsigned: the largest must not turn negative.
      {"largest recorded size", [](TestKey& k) { k.set(L"EstimatedSize", DWORD{0xFFFFFFFF}); },
       true, int64_t{0xFFFFFFFF} * 1024, L"", false},
      {"measured size", [&](TestKey& k) { k.set(L"InstallLocation", dir); }, true, 1234, dir,
       false},
      {"measured when recorded 0",
       [&](TestKey& k) {
         k.set(L"InstallLocation", dir);
         k.set(L"EstimatedSize", DWORD{0});
       },
       true, 1234, dir, false},
      {"quoted location", [&](TestKey& k) { k.set(L"InstallLocation", L"\"" + dir + L"\""); }, true,
       1234, dir, false},
      {"quote inside location", [](TestKey& k) { k.set(L"InstallLocation", L"C:\\a \"b\\"); }, true,
       0, L"C:\\a \"b\\", false},
      {"quoted program, index 0",
       [&](TestKey& k) { k.set(L"DisplayIcon", L"\"" + program + L"\",0"); }, true, 0, L"", true},
      {"ico file", [&](TestKey& k) { k.set(L"DisplayIcon", ico); }, true, 0, L"", true},
      {"expanded ico path", [&](TestKey& k) { k.set(L"DisplayIcon", expandedIco, REG_EXPAND_SZ); },
       true, 0, L"", true},
      {"unexpanded text", [&](TestKey& k) { k.set(L"DisplayIcon", expandedIco); }, true, 0, L"",
       false},
      {"missing icon file", [&](TestKey& k) { k.set(L"DisplayIcon", dir + L"\\none.ico,0"); }, true,
       0, L"", false},
      // Icon files are checked before the system reads them; a hostile one costs its icon only.
      {"written 32x32 icon", [&](TestKey& k) { k.set(L"DisplayIcon", written32.path()); }, true, 0,
       L"", true},
      {"written icon, other index",
       [&](TestKey& k) { k.set(L"DisplayIcon", written32.path() + L",3"); }, true, 0, L"", true},
      {"written icon of two sizes", [&](TestKey& k) { k.set(L"DisplayIcon", twoSizes.path()); },
       true, 0, L"", true},
      {"extended local path",
       [&](TestKey& k) { k.set(L"DisplayIcon", L"\\\\?\\" + written32.path()); }, true, 0, L"",
       true},
      {"entry past the end", [&](TestKey& k) { k.set(L"DisplayIcon", pastEnd.path()); }, true, 0,
       L"", false},
      {"huge png", [&](TestKey& k) { k.set(L"DisplayIcon", hugePng.path()); }, true, 0, L"", false},
      {"zero entries", [&](TestKey& k) { k.set(L"DisplayIcon", noEntries.path()); }, true, 0, L"",
       false},
      {"icon file named as a program", [&](TestKey& k) { k.set(L"DisplayIcon", disguised.path()); },
       true, 0, L"", false},
      {"icon file over 1 MiB", [&](TestKey& k) { k.set(L"DisplayIcon", overLimit.path()); }, true,
       0, L"", false},
      {"relative icon path", [](TestKey& k) { k.set(L"DisplayIcon", L"test_icon.ico"); }, true, 0,
       L"", false},
      {"network icon path",
       [](TestKey& k) { k.set(L"DisplayIcon", L"\\\\nosuchserver\\share\\app.ico,0"); }, true, 0,
       L"", false},
      {"extended network icon path",
       [](TestKey& k) { k.set(L"DisplayIcon", L"\\\\?\\UNC\\nosuchserver\\share\\app.ico"); }, true,
       0, L"", false},
      // Only local folders named in full are measured; the others keep their recorded size or 0.
      {"relative location", [](TestKey& k) { k.set(L"InstallLocation", L"."); }, true, 0, L".",
       false},
      {"relative location up", [](TestKey& k) { k.set(L"InstallLocation", L"..\\.."); }, true, 0,
       L"..\\..", false},
      {"drive-relative location", [](TestKey& k) { k.set(L"InstallLocation", L"C:"); }, true, 0,
       L"C:", false},
      {"rooted location", [](TestKey& k) { k.set(L"InstallLocation", L"\\"); }, true, 0, L"\\",
       false},
      {"network location",
       [](TestKey& k) { k.set(L"InstallLocation", L"\\\\nosuchserver\\share"); }, true, 0,
       L"\\\\nosuchserver\\share", false},
      {"relative location keeps its recorded size",
       [](TestKey& k) {
         k.set(L"InstallLocation", L".");
         k.set(L"EstimatedSize", DWORD{3});
       },
       true, 3072, L".", false},
      {"extended local location", [&](TestKey& k) { k.set(L"InstallLocation", L"\\\\?\\" + dir); },
       true, 1234, L"\\\\?\\" + dir, false},
  };
  for (const auto& c : cases) {
    const std::wstring name = uniqueName(L"Tidvale Case");
    TestApp app(HKEY_CURRENT_USER, 0, name);
    c.prepare(app.key);
    const auto found = listed(name);
    ASSERT_EQ(found.size(), c.listed ? 1u : 0u) << c.what;
    if (!c.listed) continue;
    EXPECT_EQ(field<int64_t>(found[0], "size"), c.size) << c.what;
    EXPECT_EQ(field<std::string>(found[0], "path"), win::toUtf8(c.path)) << c.what;
    EXPECT_EQ(isPngIcon(field<std::string>(found[0], "icon")), c.icon) << c.what;
  }
  const auto& apps = field<EncodableList>(reply_, "apps");
  for (size_t i = 1; i < apps.size(); ++i) {
    EXPECT_GE(field<int64_t>(std::get<EncodableMap>(apps[i - 1]), "size"),
              field<int64_t>(std::get<EncodableMap>(apps[i]), "size"));
  }
}

// Names that differ only in invalid UTF-16 convert to the same text; they are still two
// applications.
TEST_F(ListAppsTest, NamesAreComparedBeforeConversion) {
  const std::wstring name = uniqueName(L"Tidvale Broken");
  TestApp first(HKEY_CURRENT_USER, 0, name + L"\xD800");
  TestApp second(HKEY_CURRENT_USER, 0, name + L"\xD801");
  TestApp same(HKEY_CURRENT_USER, 0, name + L"\xD800");
  const auto found = listed(name + L"\xFFFD");
  ASSERT_EQ(found.size(), 2u);
  EXPECT_NE(field<std::string>(found[0], "bundleId"), field<std::string>(found[1], "bundleId"));
}

TEST(InstallFolderSizes, EachLocalFolderIsMeasuredOnceWhateverItsSpelling) {
  std::vector<std::wstring> walked;
  LocalDrives drives;
  InstallFolderSizes sizes(
      [&walked](const std::wstring& folder) {
        walked.push_back(folder);
        return int64_t{100} * static_cast<int64_t>(walked.size());
      },
      drives);
  const struct {
    const wchar_t* location;
    int64_t size;
  } cases[] = {
      {L"C:\\Apps\\Quill", 100},
      {L"c:\\apps\\QUILL\\", 100},
      {L"C:/Apps/Quill", 100},
      {L"C:\\Apps\\Quill2", 200},
      {L"C:\\", 300},
      {L"c:/", 300},
      {L".", 0},
      {L"..\\..", 0},
      {L"C:", 0},
      {L"C:Apps", 0},
      {L"\\Apps", 0},
      {L"\\\\server\\share", 0},
      {L"\\\\?\\UNC\\server\\share", 0},
      {L"\\\\.\\C:\\Apps", 0},
      {L"//server/share", 0},
      {L"//?/UNC/server/share", 0},
      {L"\\\\?\\GLOBALROOT\\Device\\Mup\\server\\share", 0},
      {L"\\??\\UNC\\server\\share", 0},
      {L"\\\\?\\C:", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sizes.sizeOf(c.location), c.size) << win::toUtf8(c.location);
  }
  EXPECT_EQ(walked, (std::vector<std::wstring>{L"C:\\Apps\\Quill", L"C:\\Apps\\Quill2", L"C:\\"}));
}

TEST(ParseIconLocation, IndexAfterTheLastCommaReadLikeWtoi) {
  const struct {
    const wchar_t* text;
    const wchar_t* path;
    int index;
  } cases[] = {
      {L"C:\\a,b\\app.exe,-101", L"C:\\a,b\\app.exe", -101},
      {L"C:\\app.exe, 3x", L"C:\\app.exe", 3},
      {L"C:\\app.exe,x", L"C:\\app.exe", 0},
      {L"C:\\app.ico", L"C:\\app.ico", 0},
      {L"C:\\app.exe,", L"C:\\app.exe,", 0},
  };
  for (const auto& c : cases) {
    const IconLocation location = parseIconLocation(c.text);
    EXPECT_EQ(location.path, c.path);
    EXPECT_EQ(location.index, c.index) << win::toUtf8(c.text);
  }
}

}  // namespace
}  // namespace tidvale::software
