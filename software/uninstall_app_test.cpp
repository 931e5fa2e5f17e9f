#include "software/uninstall_app.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/lower_case.h"
#include "shell/test_temp_folder.h"
#include "software/installed_apps.h"
#include "software/test_support.h"
#include "software/uninstaller.h"

namespace tidvale::software {
namespace {

using testing::field;
using testing::TestFile;
using testing::TestKey;
using testing::uniqueName;

struct RegisteredApp {
  RegisteredApp() { key.set(L"DisplayName", L"Tidvale Flow " + name); }
  std::wstring name = uniqueName(L"TidvaleUninstallFlow");
  std::wstring path = uninstallEntryPath(name);
  TestKey key{HKEY_CURRENT_USER, path, 0, TestKey::Own, true};
  std::string reg(const char* verb) const {
    return std::string("reg.exe ") + verb + " \"HKCU\\" + win::toUtf8(path) + "\"" +
           (std::string(verb) == "delete" ? " /f" : "");
  }
};

TEST(UninstallApp, RemovedRegistrationLetsTheLeftoversGo) {
  RegisteredApp app;
  shell::testing::TestTempFolder folder;
  TestFile leftover(folder.child(L"left.bin"), 4096);
  ServiceState state;
  const EncodableMap reply = uninstallApp(
      state, {app.reg("delete"), win::toUtf8(app.name), {win::toUtf8(leftover.path())}, false});
  EXPECT_EQ(field<bool>(reply, "ok"), true);
  EXPECT_EQ(field<std::string>(reply, "error"), "");
  EXPECT_EQ(field<int64_t>(reply, "freed"), 4096);
  EXPECT_TRUE(field<EncodableList>(reply, "failed").empty());
  EXPECT_TRUE(reply.contains(EncodableValue("inTrash")));
  EXPECT_TRUE(reply.contains(EncodableValue("inTrashBytes")));
  EXPECT_FALSE(leftover.exists());
  EXPECT_FALSE(isStillInstalled(win::toUtf8(app.name)));
}

TEST(UninstallApp, StillRegisteredAfterACancelledWaitKeepsTheLeftovers) {
  RegisteredApp app;
  shell::testing::TestTempFolder folder;
  TestFile leftover(folder.child(L"left.bin"), 10);
  ServiceState state;
  std::thread canceller([&state] {
    ::Sleep(1500);
    state.cancelFlag = true;
  });
  const EncodableMap reply = uninstallApp(
      state, {app.reg("query"), win::toUtf8(app.name), {win::toUtf8(leftover.path())}, false});
  canceller.join();
  EXPECT_EQ(reply, (EncodableMap{{EncodableValue("ok"), EncodableValue(false)},
                                 {EncodableValue("error"), EncodableValue(kStillInstalledError)},
                                 {EncodableValue("freed"), EncodableValue(int64_t{0})},
                                 {EncodableValue("failed"), EncodableValue(EncodableList{})}}));
  EXPECT_TRUE(leftover.exists());
}

const EncodableMap kLaunchRefused = {{EncodableValue("ok"), EncodableValue(false)},
                                     {EncodableValue("error"), EncodableValue(kLaunchFailedError)},
                                     {EncodableValue("freed"), EncodableValue(int64_t{0})},
                                     {EncodableValue("failed"), EncodableValue(EncodableList{})}};

// A missing uninstaller is not replaced by the command interpreter, which would run whatever
// follows it on the line, and nothing was uninstalled, so the leftovers stay.
TEST(UninstallApp, AMissingUninstallerRunsNothingAndKeepsTheLeftovers) {
  shell::testing::TestTempFolder folder;
  TestFile leftover(folder.child(L"left.bin"), 10);
  const std::string planted = win::toUtf8(folder.child(L"pwned.txt"));
  const std::string gone = "C:\\gone-" + std::to_string(::GetCurrentProcessId());
  const std::string commands[] = {
      "\"" + gone + "\\unins000.exe\"",
      "\"" + gone + "\\unins000.exe\" & echo x> " + planted,
      gone + "\\unins000.exe & echo x> " + planted,
      "\"" + win::toUtf8(folder.child(L"unins000.exe")) + "\" & echo x> " + planted,
      "\"" + gone + "\\unins<000>.exe\" & echo x> " + planted,
  };
  for (const auto& command : commands) {
    ServiceState state;
    EXPECT_EQ(uninstallApp(state, {command, "", {win::toUtf8(leftover.path())}, false}),
              kLaunchRefused)
        << command;
  }
  ::Sleep(1500);  // the interpreter, had it been started, is not waited for
  EXPECT_TRUE(leftover.exists());
  EXPECT_EQ(::GetFileAttributesW(win::toUtf16(planted).c_str()), INVALID_FILE_ATTRIBUTES);
}

// The key name would be looked up as the text before U+0000: another entry, maybe one that is
// gone, which would let the leftovers go while the application stays.
TEST(UninstallApp, ARegKeyHoldingNulIsRefusedBeforeAnythingRuns) {
  RegisteredApp app;
  shell::testing::TestTempFolder folder;
  TestFile leftover(folder.child(L"left.bin"), 10);
  for (const std::string& command : {app.reg("delete"), std::string()}) {
    ServiceState state;
    const std::string regKey = win::toUtf8(app.name) + std::string(1, '\0') + "x";
    EXPECT_EQ(uninstallApp(state, {command, regKey, {win::toUtf8(leftover.path())}, false}),
              kLaunchRefused);
    EXPECT_TRUE(isStillInstalled(win::toUtf8(app.name)));
    EXPECT_TRUE(leftover.exists());
  }
}

// Installed for the machine and for the user under one name: uninstalling one leaves the data
// that the other still uses.
TEST(UninstallApp, ASecondInstallationKeepsItsData) {
  RegisteredApp app;
  const std::wstring displayName = L"Tidvale Flow " + app.name;
  TestKey other(HKEY_LOCAL_MACHINE, uninstallEntryPath(uniqueName(L"TidvaleOther")),
                KEY_WOW64_32KEY);
  other.set(L"DisplayName", toLowerUnits(displayName));
  shell::testing::TestTempFolder folder;
  TestFile leftover(folder.child(L"left.bin"), 10);
  TestFile another(folder.child(L"other.bin"), 20);
  const std::vector<std::string> paths = {win::toUtf8(leftover.path()),
                                          win::toUtf8(another.path())};
  ServiceState state;
  const EncodableMap reply =
      uninstallApp(state, {app.reg("delete"), win::toUtf8(app.name), paths, false});
  EXPECT_EQ(reply,
            (EncodableMap{
                {EncodableValue("ok"), EncodableValue(true)},
                {EncodableValue("error"), EncodableValue("")},
                {EncodableValue("freed"), EncodableValue(int64_t{0})},
                {EncodableValue("failed"),
                 EncodableValue(EncodableList{EncodableValue(paths[0]), EncodableValue(paths[1])})},
                {EncodableValue("inTrash"), EncodableValue(EncodableList{})},
                {EncodableValue("inTrashBytes"), EncodableValue(int64_t{0})}}));
  EXPECT_FALSE(isStillInstalled(win::toUtf8(app.name)));
  EXPECT_TRUE(leftover.exists());
  EXPECT_TRUE(another.exists());
}

TEST(UninstallApp, WithoutACommandOnlyTheDeletionRunsAndRefusesWhatItRefuses) {
  ServiceState state;
  const EncodableMap reply = uninstallApp(state, {"", "", {"relative\\path"}, false});
  EXPECT_EQ(field<bool>(reply, "ok"), true);
  EXPECT_FALSE(reply.contains(EncodableValue("error")));
  EXPECT_EQ(field<EncodableList>(reply, "failed"), EncodableList{EncodableValue("relative\\path")});
  EXPECT_EQ(field<int64_t>(reply, "freed"), 0);
}

}  // namespace
}  // namespace tidvale::software
