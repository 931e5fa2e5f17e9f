#include "software/uninstall_app.h"

#include <gtest/gtest.h>

#include <thread>

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
