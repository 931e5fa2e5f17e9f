#include "software/uninstaller.h"

#include <shellapi.h>

#include <cctype>
#include <optional>
#include <vector>

#include "software/uninstall_places.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::software {
namespace {

constexpr std::string_view kMsiexec = "msiexec";
constexpr DWORD kStartupInfoBytes = sizeof(STARTUPINFOW);  // 104 on 64-bit Windows
constexpr INT_PTR kShellExecuteSuccessAbove = 32;

bool isMsiInstallSwitch(const std::string& command, size_t i) {
  const bool switchMark = command[i] == '/' || command[i] == '-';
  const bool afterSpace = command[i - 1] == ' ';
  const bool installLetter = command[i + 1] == 'I' || command[i + 1] == 'i';
  const bool switchEnds = i + 2 == command.size() || command[i + 2] == '{' || command[i + 2] == ' ';
  return switchMark && afterSpace && installLetter && switchEnds;
}

enum class StartOutcome { Started, ProgramMissing, OtherFailure };

// Errors that say the command's program is not there. The interpreter would then run the rest
// of the line on its own ("gone.exe & anything"), with no uninstaller behind it.
bool meansProgramMissing(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH:
      return true;
    default:
      return false;
  }
}

StartOutcome startProcessAndWait(const std::wstring& command) {
  std::vector<wchar_t> commandLine(command.begin(), command.end());
  commandLine.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = kStartupInfoBytes;
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return meansProgramMissing(::GetLastError()) ? StartOutcome::ProgramMissing
                                                 : StartOutcome::OtherFailure;
  }
  const win::UniqueHandle process(info.hProcess);
  const win::UniqueHandle thread(info.hThread);
  ::WaitForSingleObject(process.get(), kUninstallerWaitMs);
  return StartOutcome::Started;
}

bool startThroughInterpreter(const std::wstring& command) {
  const std::wstring parameters = L"/c " + command;
  const HINSTANCE result =
      ::ShellExecuteW(nullptr, L"open", L"cmd.exe", parameters.c_str(), nullptr, SW_HIDE);
  return reinterpret_cast<INT_PTR>(result) > kShellExecuteSuccessAbove;
}

}  // namespace

std::string rewriteMsiCommand(const std::string& command) {
  std::string lower = command;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (command.size() < kMsiexec.size() || lower.find(kMsiexec) == std::string::npos) {
    return command;
  }
  std::string rewritten = command;
  for (size_t i = 1; i + 1 < rewritten.size(); ++i) {
    if (isMsiInstallSwitch(rewritten, i)) {
      rewritten[i + 1] = 'X';
      break;
    }
  }
  return rewritten;
}

EncodableMap launchUninstaller(const std::string& command) {
  // A command holding U+0000 would run as the text before it, another command: nothing starts.
  const std::optional<std::wstring> wide = win::pathFromUtf8(command);
  bool ok = false;
  if (wide) {
    const StartOutcome outcome = startProcessAndWait(*wide);
    ok = outcome == StartOutcome::Started ||
         (outcome == StartOutcome::OtherFailure && startThroughInterpreter(*wide));
  }
  return EncodableMap{
      {EncodableValue("ok"), EncodableValue(ok)},
      {EncodableValue("error"), EncodableValue(std::string(ok ? "" : kLaunchFailedError))}};
}

bool isStillInstalled(const std::string& regKey) {
  if (regKey.empty()) return false;
  const std::wstring path = uninstallEntryPath(win::toUtf16(regKey));
  for (const UninstallPlace& place : kUninstallPlaces) {
    win::UniqueKey key;
    if (::RegOpenKeyExW(place.hive, path.c_str(), 0, KEY_READ | place.view, key.put()) ==
        ERROR_SUCCESS) {
      return true;
    }
  }
  return false;
}

bool waitUntilUninstalled(ServiceState& state, const std::string& regKey) {
  for (int poll = 0; poll < kRegistrationPolls; ++poll) {
    if (state.cancelled() || !isStillInstalled(regKey)) break;
    ::Sleep(kRegistrationPollMs);
  }
  return isStillInstalled(regKey);
}

}  // namespace tidvale::software
