#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "shell/shell_integration.h"
#include "shell/test_temp_folder.h"
#include "shell/tools/dialog_dismissal.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::shell {
namespace {

using namespace std::chrono_literals;
using testing::TestTempFolder;

// Long enough for Wine's first start of the dialog on a busy machine (it takes well under a
// second here); short enough that two waits in a row end before the test's own time limit.
constexpr auto kDialogWait = 30s;
constexpr wchar_t kToolRelativePath[] = TIDVALE_DISMISS_DIALOG_RELATIVE;

using PickResult = std::optional<std::string>;

DialogOwner self() {
  return DialogOwner::process(::GetCurrentProcessId());
}

std::wstring ownExecutable() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, length);
}

// pickFolder on a thread of its own, with its own single-threaded apartment as on the platform
// thread, so a dialog that never closes fails the test instead of hanging it.
class PickerThread {
 public:
  PickerThread() : promise_(std::make_shared<std::promise<PickResult>>()) {
    future_ = promise_->get_future();
    thread_ = std::thread([promise = promise_] {
      win::ComApartment apartment;
      promise->set_value(pickFolder());
    });
  }
  PickerThread(const PickerThread&) = delete;
  PickerThread& operator=(const PickerThread&) = delete;
  // After a failed test the dialog may still be open: cancel it so that the next test starts
  // without it. A thread stuck even so ends with the process; it only holds its own promise.
  ~PickerThread() {
    if (!thread_.joinable()) return;
    dismissDialog(self(), kDialogWait);
    if (future_.wait_for(kDialogWait) == std::future_status::ready) {
      thread_.join();
    } else {
      thread_.detach();
    }
  }

  // The dialog's answer, or no value when the dialog has not closed in time.
  std::optional<PickResult> result() {
    if (future_.wait_for(kDialogWait) != std::future_status::ready) return std::nullopt;
    thread_.join();
    return future_.get();
  }

 private:
  std::shared_ptr<std::promise<PickResult>> promise_;
  std::future<PickResult> future_;
  std::thread thread_;
};

TEST(PickFolder, CancelledDialogGivesNoFolder) {
  PickerThread picker;
  EXPECT_TRUE(dismissDialog(self(), kDialogWait)) << "no dialog appeared";
  const auto result = picker.result();
  ASSERT_TRUE(result.has_value()) << "the dialog did not close";
  EXPECT_EQ(*result, std::nullopt);
  EXPECT_EQ(findDialog(self()), nullptr);
}

// Spaces and text beyond ASCII, including a surrogate pair, must survive the UTF-8 conversion.
constexpr wchar_t kChosenFolderName[] = L"Chosen \u00e9t\u00e9 \U0001F600";

TEST(PickFolder, ChosenFolderIsReturnedAsUtf8) {
  TestTempFolder temp;
  const std::wstring folder = temp.child(kChosenFolderName);
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  PickerThread picker;
  EXPECT_TRUE(chooseInDialog(self(), folder, kDialogWait));
  const auto result = picker.result();
  ASSERT_TRUE(result.has_value()) << "the dialog did not close";
  EXPECT_EQ(*result, win::toUtf8(folder));
}

std::wstring toolPath() {
  std::wstring path = ownExecutable();
  path.erase(path.find_last_of(L'\\') + 1);
  for (const wchar_t* c = kToolRelativePath; *c != 0; ++c) path += *c == L'/' ? L'\\' : *c;
  return path;
}

// Runs dismiss_dialog with `arguments`; its exit code, or no value if it did not end in time.
class ToolProcess {
 public:
  explicit ToolProcess(const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + toolPath() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    EXPECT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &info))
        << "cannot start the tool";
    process_.reset(info.hProcess);
    win::UniqueHandle thread(info.hThread);
  }

  std::optional<DWORD> exitCode() {
    constexpr DWORD waitMs = std::chrono::milliseconds(kDialogWait).count();
    if (!process_ || ::WaitForSingleObject(process_.get(), waitMs) != WAIT_OBJECT_0) {
      return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
  }

 private:
  win::UniqueHandle process_;
};

std::wstring ownProcessId() {
  return std::to_wstring(::GetCurrentProcessId());
}

TEST(DismissDialogTool, CancelsTheDialogOfTheGivenProcessOrProgram) {
  std::wstring programName = ownExecutable();
  programName.erase(0, programName.find_last_of(L'\\') + 1);
  ::CharUpperW(programName.data());  // program names match in any case
  for (const std::wstring& owner : {ownProcessId(), programName}) {
    SCOPED_TRACE(win::toUtf8(owner));
    ToolProcess tool(owner + L" 30");
    PickerThread picker;
    const auto result = picker.result();
    ASSERT_TRUE(result.has_value()) << "the dialog did not close";
    EXPECT_EQ(*result, std::nullopt);
    EXPECT_EQ(tool.exitCode(), 0u);
  }
}

TEST(DismissDialogTool, ChoosesTheGivenFolder) {
  TestTempFolder temp;
  const std::wstring folder = temp.child(kChosenFolderName);
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  ToolProcess tool(ownProcessId() + L" 30 \"" + folder + L"\"");
  PickerThread picker;
  const auto result = picker.result();
  ASSERT_TRUE(result.has_value()) << "the dialog did not close";
  EXPECT_EQ(*result, win::toUtf8(folder));
  EXPECT_EQ(tool.exitCode(), 0u);
}

TEST(DismissDialogTool, ExitCodes) {
  struct Case {
    std::wstring arguments;
    DWORD expected;
  };
  // No dialog is open in this process, and no program is named "x". A search of all processes
  // is not tried: a dialog of another test running at the same time could answer it.
  const std::wstring self = ownProcessId();
  const Case cases[] = {
      {self + L" 1", 1},     {self + L" 1 C:\\", 1},
      {L"x 1", 1},           {L"\"\" 1", 2},
      {L"12x 1", 2},         {L"99999999999 1", 2},
      {self + L" 86401", 2}, {self + L" 1 C:\\ extra", 2},
  };
  for (const auto& c : cases) {
    ToolProcess tool(c.arguments);
    EXPECT_EQ(tool.exitCode(), c.expected) << win::toUtf8(c.arguments);
  }
}

}  // namespace
}  // namespace tidvale::shell
