#include "software/uninstaller.h"

#include <gtest/gtest.h>

#include <thread>

#include "shell/test_temp_folder.h"
#include "software/installed_apps.h"
#include "software/test_support.h"

namespace tidvale::software {
namespace {

using testing::TestFile;
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

// An Uninstall entry of the user's, and the command that deletes it as an uninstaller would.
struct EntryToDelete {
  std::wstring name = uniqueName(L"TidvaleUninstall");
  TestKey key{HKEY_CURRENT_USER, uninstallEntryPath(name), 0, TestKey::Own, true};
  std::string command() const {
    return "reg.exe delete \"HKCU\\" + win::toUtf8(uninstallEntryPath(name)) + "\" /f";
  }
  bool registered() const { return isStillInstalled(win::toUtf8(name)); }
};

const EncodableMap kLaunched = {{EncodableValue("ok"), EncodableValue(true)},
                                {EncodableValue("error"), EncodableValue("")}};
const EncodableMap kNotLaunched = {{EncodableValue("ok"), EncodableValue(false)},
                                   {EncodableValue("error"), EncodableValue(kLaunchFailedError)}};

TEST(LaunchUninstaller, WaitsForProgramsAndHandsOtherFailuresToCmd) {
  // A file that is there but is no program fails for another reason than a missing program:
  // the interpreter gets the whole line, and the part after "&" runs.
  shell::testing::TestTempFolder folder;
  TestFile notAProgram(folder.child(L"notaprogram.exe"), 24);
  for (const std::string& prefix : {std::string(), win::toUtf8(notAProgram.path()) + " & "}) {
    EntryToDelete entry;
    EXPECT_EQ(launchUninstaller(prefix + entry.command()), kLaunched);
    // A started program is waited for; through cmd.exe only the polling waits.
    if (prefix.empty()) {
      EXPECT_FALSE(entry.registered());
    }
    ServiceState state;
    EXPECT_FALSE(waitUntilUninstalled(state, win::toUtf8(entry.name))) << prefix;
  }
}

// Not found, and names that no file can have: no interpreter runs the rest of the line.
TEST(LaunchUninstaller, AMissingProgramIsNotHandedToCmd) {
  for (const char* program : {"C:\\gone\\unins000.exe", "\"C:\\gone\\unins000.exe\"",
                              "\"C:\\gone\\un<ins>.exe\"", "if 1==1"}) {
    EntryToDelete entry;
    EXPECT_EQ(launchUninstaller(program + std::string(" & ") + entry.command()), kNotLaunched);
    ::Sleep(1000);  // an interpreter, had one started, is not waited for
    EXPECT_TRUE(entry.registered()) << program;
  }
}

TEST(LaunchUninstaller, ACommandHoldingNulStartsNothing) {
  EntryToDelete entry;
  EXPECT_EQ(launchUninstaller(entry.command() + '\0' + " /va"), kNotLaunched);
  EXPECT_TRUE(entry.registered());
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
