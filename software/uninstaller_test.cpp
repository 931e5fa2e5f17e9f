#include "software/uninstaller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "software/installed_apps.h"
#include "software/test_registry.h"
#include "win/text.h"

namespace tidvale::software {
namespace {

using testing::Removal;
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
      {"msiexec.exe /qn /i {1A2B}", "msiexec.exe /qn /X {1A2B}"},
      {"MSIEXEC /i {A} /i {B}", "MSIEXEC /X {A} /i {B}"},  // only the first switch
      {"MsiExec.exe /X{1A2B-3C}", "MsiExec.exe /X{1A2B-3C}"},
      {"msiexec /Install {1A2B}", "msiexec /Install {1A2B}"},
      {"msiexec.exe/I{1A2B}", "msiexec.exe/I{1A2B}"},  // no space before the switch
      {"msiexec", "msiexec"},
      {"C:\\Tools\\setup.exe /I {1A2B}", "C:\\Tools\\setup.exe /I {1A2B}"},
      {"/I {", "/I {"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(rewriteMsiCommand(c.command), c.expected) << c.command;
}

std::wstring entryPath(const std::wstring& name) {
  return std::wstring(kUninstallKeyPath) + L"\\" + name;
}

TEST(IsStillInstalled, LooksInBothMachineViewsAndTheUser) {
  const std::wstring name = uniqueName(L"TidvaleInstalled");
  EXPECT_FALSE(isStillInstalled(win::toUtf8(name)));
  EXPECT_FALSE(isStillInstalled(""));
  for (const auto& [hive, view] : {std::pair{HKEY_LOCAL_MACHINE, REGSAM{KEY_WOW64_64KEY}},
                                   std::pair{HKEY_LOCAL_MACHINE, REGSAM{KEY_WOW64_32KEY}},
                                   std::pair{HKEY_CURRENT_USER, REGSAM{0}}}) {
    TestKey entry(hive, entryPath(name), view);
    EXPECT_TRUE(isStillInstalled(win::toUtf8(name))) << view;
  }
  EXPECT_FALSE(isStillInstalled(win::toUtf8(name)));
}

// The key as reg.exe names it.
std::string regExePath(const std::wstring& name) {
  return "HKCU\\" + win::toUtf8(entryPath(name));
}

TEST(LaunchUninstaller, RunsTheProgramAndWaitsForIt) {
  const std::wstring name = uniqueName(L"TidvaleRegUninstall");
  TestKey entry(HKEY_CURRENT_USER, entryPath(name), 0, Removal::MaybeByCode);
  entry.setString(L"Keep", L"x");
  const EncodableMap result = launchUninstaller("reg.exe delete \"" + regExePath(name) + "\" /f");
  EXPECT_EQ(result, (EncodableMap{{EncodableValue("ok"), EncodableValue(true)},
                                  {EncodableValue("error"), EncodableValue("")}}));
  // Waited for: the registration is gone the moment the launch returns.
  EXPECT_FALSE(isStillInstalled(win::toUtf8(name)));
}

TEST(LaunchUninstaller, CommandsOnlyTheInterpreterUnderstandsGoThroughCmd) {
  const std::wstring name = uniqueName(L"TidvaleCmdUninstall");
  TestKey entry(HKEY_CURRENT_USER, entryPath(name), 0, Removal::MaybeByCode);
  // "if" is no program: CreateProcessW fails and cmd.exe /c runs it, without a wait.
  const EncodableMap result =
      launchUninstaller("if 1==1 reg.exe delete \"" + regExePath(name) + "\" /f");
  EXPECT_EQ(result.at(EncodableValue("ok")), EncodableValue(true));
  ServiceState state;
  EXPECT_FALSE(waitUntilUninstalled(state, win::toUtf8(name)));
}

TEST(WaitUntilUninstalled, CancelEndsThePollingWhileStillRegistered) {
  const std::wstring name = uniqueName(L"TidvaleStays");
  TestKey entry(HKEY_LOCAL_MACHINE, entryPath(name), KEY_WOW64_32KEY);
  ServiceState state;
  std::thread canceller([&state] {
    ::Sleep(1500);
    state.cancelFlag = true;
  });
  EXPECT_TRUE(waitUntilUninstalled(state, win::toUtf8(name)));
  canceller.join();
}

}  // namespace
}  // namespace tidvale::software
