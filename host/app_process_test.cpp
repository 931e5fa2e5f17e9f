// Tidvale.exe as a whole, started as a child process with its standard streams on pipes: the
// start-up lines, answers to input and the exit code.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "win/unique_resource.h"

namespace tidvale::host {
namespace {

constexpr DWORD kExitWaitMs = 60'000;

// <build>/app, found from this test's own place in <build>/host.
std::wstring appDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
  path.resize(length);
  for (int up = 0; up < 2; ++up) path.resize(path.find_last_of(L"\\/"));
  return path + L"\\app";
}

struct RunResult {
  bool started = false;
  DWORD startError = 0;  // GetLastError() when the pipes or the process could not be made
  DWORD exitCode = 0;
  std::vector<std::string> lines;
};

RunResult runApp(const std::string& input) {
  RunResult result;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  win::UniqueHandle inRead, inWrite, outRead, outWrite;
  if (!::CreatePipe(inRead.put(), inWrite.put(), &inherit, 0) ||
      !::CreatePipe(outRead.put(), outWrite.put(), &inherit, 0)) {
    result.startError = ::GetLastError();
    return result;
  }
  ::SetHandleInformation(inWrite.get(), HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(outRead.get(), HANDLE_FLAG_INHERIT, 0);
  win::UniqueFileHandle nul(
      ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));

  const std::wstring directory = appDirectory();
  std::wstring commandLine = L"\"" + directory + L"\\Tidvale.exe\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead.get();
  startup.hStdOutput = outWrite.get();
  startup.hStdError = nul.get();
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        directory.c_str(), &startup, &process)) {
    result.startError = ::GetLastError();
    return result;
  }
  result.started = true;
  const win::UniqueHandle processHandle(process.hProcess);
  const win::UniqueHandle threadHandle(process.hThread);
  inRead.reset();
  outWrite.reset();

  std::string output;
  std::thread reader([&] {
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(outRead.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
      output.append(buffer, got);
    }
  });
  DWORD written = 0;
  if (!input.empty()) {
    ::WriteFile(inWrite.get(), input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
  }
  inWrite.reset();  // End of input.

  if (::WaitForSingleObject(processHandle.get(), kExitWaitMs) != WAIT_OBJECT_0) {
    ::TerminateProcess(processHandle.get(), 255);
    ::WaitForSingleObject(processHandle.get(), kExitWaitMs);
  }
  ::GetExitCodeProcess(processHandle.get(), &result.exitCode);
  reader.join();
  size_t start = 0;
  for (size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
    result.lines.push_back(output.substr(start, end - start));
  }
  if (start < output.size()) result.lines.push_back(output.substr(start) + "<no line end>");
  return result;
}

const std::vector<std::string> kStartupLines = {
    R"({"op":"registrar","name":"ScreenRetrieverWindowsPluginCApi"})",
    R"({"op":"registrar","name":"UrlLauncherWindows"})",
    R"({"op":"registrar","name":"WindowManagerPlugin"})",
    R"({"op":"ready"})",
};

TEST(AppProcess, StartsUpInOrderAnswersInputAndExitsCleanly) {
  const struct {
    std::string name;
    std::string input;
    std::vector<std::string> after;  // Lines expected after the start-up lines.
  } cases[] = {
      {"quit", "{\"op\":\"quit\"}\n", {}},
      {"end of input", "", {}},
      {"quit without line end", "{\"op\":\"quit\"}", {}},
      {"reply from a channel without handler",
       "{\"op\":\"send\",\"channel\":\"nobody\",\"id\":9,\"data\":\"AQ==\"}\r\n",
       {R"({"op":"reply","id":9,"data":""})"}},
      {"malformed line",
       "{\"op\":\"dance\"}\n{\"op\":\"quit\"}\n{\"op\":\"send\"}\n",
       {R"({"op":"error","message":"unknown op \"dance\""})"}},
  };
  for (const auto& c : cases) {
    const RunResult run = runApp(c.input);
    ASSERT_TRUE(run.started) << c.name << ": error " << run.startError;
    EXPECT_EQ(run.exitCode, 0u) << c.name;
    std::vector<std::string> expected = kStartupLines;
    expected.insert(expected.end(), c.after.begin(), c.after.end());
    EXPECT_EQ(run.lines, expected) << c.name;
  }
}

TEST(AppProcess, TheNativeServiceAnswersOnItsChannel) {
  // A "homeDir" method call in the standard method codec: a string (type 7) of length 7, then
  // null arguments. Its success envelope starts with a zero byte, base64 "AA".
  const RunResult run = runApp(
      "{\"op\":\"send\",\"channel\":\"tidvale/native\",\"id\":1,\"data\":\"Bwdob21lRGlyAA==\"}\n");
  ASSERT_TRUE(run.started) << "error " << run.startError;
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_EQ(run.lines.size(), kStartupLines.size() + 1);
  EXPECT_EQ(run.lines.back().rfind(R"({"op":"reply","id":1,"data":"AA)", 0), 0u)
      << run.lines.back();
}

}  // namespace
}  // namespace tidvale::host
