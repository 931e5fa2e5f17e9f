#include "software/uninstaller.h"

#include <gtest/gtest.h>

#include <thread>

#include "software/installed_apps.h"
#include "software/test_support.h"

namespace tidvale::software {
namespace {

using testing::TestKey;
using testing::uniqueName;

TEST(RewriteMsiCommand, InstallSwitchOfMsiexecBecomesUninstall) {
  const struct {
    const char* command;
    const char* expected;
  } cases[] = {
      {"MsiExec.exe /I{1A2B-3C}", "MsiExec.exe /X{1A2B-3C}"},
      {"msiexec -i {1A2B-3C}", "msiexec -X {1A2B-3C}"},
      {"msiexec.exe /qn /i", "msiexec.exe /qn /X"},
      {"MSIEXEC /qn /i {A} /i {B}", "MSIEXEC /qn /X {A} /i {B}"},
      {"MsiExec.exe /X{1A2B-3C}", "MsiExec.exe /X{1A2B-3C}"},
      {"msiexec /Install {1A2B}", "msiexec /Install {1A2B}"},
      {"msiexec.exe/I{1A2B}", "msiexec.exe/I{1A2B}"},
      {"C:\\setup.exe /I {1A2B}", "C:\\setup.exe /I {1A2B}"},
      {"/I {", "/I {"},
  };
  for (const auto& c : cases) EXPECT_EQ(rewriteMsiCommand(c.command), c.expected) << c.command;
}

TEST(IsStillInstalled, LooksInBothMachineViewsAndTheUser) {
  const std::wstring name = uniqueName(L"TidvaleInstalled");
  for (const auto& [hive, view] : {std::pair{HKEY_LOCAL_MACHINE, REGSAM{KEY_WOW64_64KEY}},
                                   std::pair{HKEY_LOCAL_MACHINE, REGSAM{KEY_WOW64_32KEY}},
                                   std::pair{HKEY_CURRENT_USER, REGSAM{0}}}) {
    TestKey entry(hive, uninstallEntryPath(name), view);
    EXPECT_TRUE(isStillInstalled(win::toUtf8(name))) << view;
  }
  EXPECT_FALSE(isStillInstalled(win::toUtf8(name)));
  EXPECT_FALSE(isStillInstalled(""));
}

TEST(LaunchUninstaller, WaitsForProgramsAndHandsOtherCommandsToCmd) {
  for (const char* prefix : {"", "if 1==1 "}) {  // "if" is no program: only cmd.exe runs it
    const std::wstring name = uniqueName(L"TidvaleUninstall");
    TestKey entry(HKEY_CURRENT_USER, uninstallEntryPath(name), 0, TestKey::Own, true);
    const std::string command = prefix + std::string("reg.exe delete \"HKCU\\") +
                                win::toUtf8(uninstallEntryPath(name)) + "\" /f";
    EXPECT_EQ(launchUninstaller(command),
              (EncodableMap{{EncodableValue("ok"), EncodableValue(true)},
                            {EncodableValue("error"), EncodableValue("")}}));
    // A started program is waited for; through cmd.exe only the polling waits.
    if (*prefix == '\0') {
      EXPECT_FALSE(isStillInstalled(win::toUtf8(name)));
    }
    ServiceState state;
    EXPECT_FALSE(waitUntilUninstalled(state, win::toUtf8(name))) << prefix;
  }
}

TEST(LaunchUninstaller, ACommandHoldingNulStartsNothing) {
  const std::wstring name = uniqueName(L"TidvaleUninstall");
  TestKey entry(HKEY_CURRENT_USER, uninstallEntryPath(name), 0, TestKey::Own, true);
  const std::string command =
      "reg.exe delete \"HKCU\\" + win::toUtf8(uninstallEntryPath(name)) + "\" /f";
  EXPECT_EQ(launchUninstaller(command + '\0' + " /va"),
            (EncodableMap{{EncodableValue("ok"), EncodableValue(false)},
                          {EncodableValue("error"), EncodableValue(kLaunchFailedError)}}));
  EXPECT_TRUE(isStillInstalled(win::toUtf8(name)));
}

TEST(WaitUntilUninstalled, CancelEndsThePollingWhileStillRegistered) {
  const std::wstring name = uniqueName(L"TidvaleStays");
  TestKey entry(HKEY_LOCAL_MACHINE, uninstallEntryPath(name), KEY_WOW64_32KEY);
  ServiceState state;
  std::thread canceller([&state] {
    ::Sleep(1500);
    state.cancelFlag = true;
  });
  EXPECT_TRUE(waitUntilUninstalled(state, win::toUtf8(name)));  // well before 120 polls
  canceller.join();
}

}  // namespace
}  // namespace tidvale::software
