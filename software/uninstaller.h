#pragma once
// Running an application's own uninstaller and checking that its registration went. Background
// thread; never fails: failures are told in the returned values.

#include <windows.h>

#include <string>

#include "channels/encodable_value.h"
#include "core/service_state.h"

namespace tidvale::software {

inline constexpr DWORD kUninstallerWaitMs = 600000;  // a longer-running uninstaller keeps running
inline constexpr DWORD kRegistrationPollMs = 1000;
inline constexpr int kRegistrationPolls = 120;
inline constexpr char kLaunchFailedError[] = "Could not launch the uninstaller";
inline constexpr char kStillInstalledError[] = "still_installed";

// A Windows Installer command registered with its install switch (/I or -I followed by a brace,
// a space or the end) gets the uninstall switch /X instead; every other command is unchanged.
std::string rewriteMsiCommand(const std::string& command);

// Runs `command` and waits up to ten minutes for it. A command whose program is missing (not
// found, or a name no file can have) fails; one that cannot be started for another reason is
// handed to cmd.exe /c, without a wait. {"ok", "error"}.
EncodableMap launchUninstaller(const std::string& command);

// Whether the Uninstall subkey `regKey` still exists in the machine's 64-bit or 32-bit view or
// under the current user; false for "".
bool isStillInstalled(const std::string& regKey);

// Polls isStillInstalled once a second, at most 120 times, until the registration is gone or
// the cancel flag is set; then answers whether it is still there.
bool waitUntilUninstalled(ServiceState& state, const std::string& regKey);

}  // namespace tidvale::software
