#pragma once
// Where Windows keeps the programs it starts at sign-in, and where it records that the user
// switched one off. Shared by the listing and by the changes, which accept only items from here.

#include <windows.h>

#include <shlobj.h>

#include <string_view>

namespace tidvale::software {

inline constexpr wchar_t kUserRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kUserRunOnceKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr wchar_t kMachineRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kMachineRun32Key[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";

inline constexpr wchar_t kApprovedRunKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
inline constexpr wchar_t kApprovedRun32Key[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run32";
inline constexpr wchar_t kApprovedStartupFolderKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\StartupFolder";

inline constexpr char kUserAgentKind[] = "userAgent";
inline constexpr char kGlobalAgentKind[] = "globalAgent";
inline constexpr char kLoginItemKind[] = "loginItem";
inline constexpr char kDaemonKind[] = "daemon";

// The hive prefixes of a registry item's id, and the separator before its value name.
inline constexpr char kUserHivePrefix[] = "HKCU\\";
inline constexpr char kMachineHivePrefix[] = "HKLM\\";
inline constexpr char kIdSeparator = '|';

struct RunKeySource {
  HKEY hive;
  const char* hivePrefix;
  const wchar_t* runKey;
  const wchar_t* approvalKey;
  const char* kind;
  bool editable;
};

// The four Run keys, in listing order.
inline const RunKeySource kRunKeySources[] = {
    {HKEY_CURRENT_USER, kUserHivePrefix, kUserRunKey, kApprovedRunKey, kUserAgentKind, true},
    {HKEY_CURRENT_USER, kUserHivePrefix, kUserRunOnceKey, kApprovedRunKey, kUserAgentKind, true},
    {HKEY_LOCAL_MACHINE, kMachineHivePrefix, kMachineRunKey, kApprovedRunKey, kGlobalAgentKind,
     false},
    {HKEY_LOCAL_MACHINE, kMachineHivePrefix, kMachineRun32Key, kApprovedRun32Key, kGlobalAgentKind,
     false},
};

struct StartupFolderSource {
  const KNOWNFOLDERID* folder;
  HKEY approvalHive;
  const char* kind;
};

// The two Startup folders, in listing order.
inline const StartupFolderSource kStartupFolderSources[] = {
    {&FOLDERID_Startup, HKEY_CURRENT_USER, kLoginItemKind},
    {&FOLDERID_CommonStartup, HKEY_LOCAL_MACHINE, kDaemonKind},
};

// The Startup folder behind a folder kind ("loginItem", "daemon"), or null for any other kind.
inline const StartupFolderSource* startupFolderSourceOf(std::string_view kind) {
  for (const auto& source : kStartupFolderSources) {
    if (kind == source.kind) return &source;
  }
  return nullptr;
}

}  // namespace tidvale::software
