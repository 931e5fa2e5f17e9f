#include "software/startup_changes.h"

#include <optional>
#include <string_view>

#include "core/lower_case.h"
#include "fs/path_resolver.h"
#include "fs/path_text.h"
#include "fs/win32_file_system.h"
#include "scanners/scan_text.h"
#include "software/startup_sources.h"
#include "software/system_message.h"
#include "win/known_folder.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::software {
namespace {

constexpr std::string_view kMachineHiveMark = "HKLM";
constexpr std::string_view kRun32Mark = "WOW6432Node";

EncodableMap changeReply(bool ok, const std::string& error) {
  return EncodableMap{{EncodableValue("ok"), EncodableValue(ok)},
                      {EncodableValue("error"), EncodableValue(error)}};
}

EncodableMap succeeded() {
  return changeReply(true, "");
}

EncodableMap writeApproval(HKEY hive, const wchar_t* approvalKey, const std::wstring& valueName,
                           bool enabled) {
  FILETIME now = {};
  ::GetSystemTimeAsFileTime(&now);
  const ApprovalRecord record = approvalRecord(enabled, now);
  win::UniqueKey key;
  if (::RegCreateKeyExW(hive, approvalKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
    return changeReply(false, kAccessDeniedError);
  }
  if (::RegSetValueExW(key.get(), valueName.c_str(), 0, REG_BINARY, record.data(),
                       static_cast<DWORD>(record.size())) != ERROR_SUCCESS) {
    return changeReply(false, kRegistryWriteFailedError);
  }
  return succeeded();
}

// The folder part of a path's exact reading, in a form compared without letter case.
std::wstring comparableFolderOf(const fs::TargetText& text, size_t components) {
  std::wstring joined = text.root;
  for (size_t i = 0; i < components; ++i) joined = fs::joinPath(joined, text.components[i]);
  return win::foldCase(joined);
}

// Whether the id names an entry directly inside `folder`, read exactly as the removal reads it.
// A stream name, a wildcard or a "." or ".." step out of the folder is no such entry.
bool isDirectlyInside(const std::wstring& folder, const std::wstring& id) {
  const std::optional<fs::TargetText> folderText = fs::readTargetText(folder);
  const std::optional<fs::TargetText> idText = fs::readTargetText(id);
  if (!folderText || !idText || idText->components.empty()) return false;
  return comparableFolderOf(*folderText, folderText->components.size()) ==
         comparableFolderOf(*idText, idText->components.size() - 1);
}

// The Windows error code that stands for a removal's failure, for its system message.
DWORD errorCodeOf(fs::FsError error) {
  switch (error) {
    case fs::FsError::None:
    case fs::FsError::NotFound:
      return ERROR_SUCCESS;
    case fs::FsError::AccessDenied:
      return ERROR_ACCESS_DENIED;
    case fs::FsError::InUse:
      return ERROR_SHARING_VIOLATION;
    case fs::FsError::NotEmpty:
      return ERROR_DIR_NOT_EMPTY;
    case fs::FsError::Changed:  // the name leads elsewhere since it was listed
    case fs::FsError::Other:
      break;
  }
  return ERROR_GEN_FAILURE;
}

// Removes a file, a link as itself, or an empty folder, reached from the volume root without
// following a link; a missing entry counts as removed.
DWORD removeEntry(const std::wstring& path) {
  fs::PathResolver resolver(fs::systemFileSystem(), {});
  fs::ResolvedEntry target = resolver.resolve(path);
  switch (target.outcome) {
    case fs::ResolveOutcome::Missing:
      return ERROR_SUCCESS;
    case fs::ResolveOutcome::Refused:
      return ERROR_ACCESS_DENIED;
    case fs::ResolveOutcome::Found:
      break;
  }
  const fs::FsError error =
      target.folder ? target.folder->removeSelf() : target.parent->removeChild(target.listed);
  return errorCodeOf(error);
}

EncodableMap removeFolderItem(const StartupFolderSource& source, const std::string& id) {
  const auto path = win::pathFromUtf8(id);
  if (!path || !isDirectlyInside(win::knownFolderPath(*source.folder), *path)) {
    return changeReply(false, kBadIdError);
  }
  const DWORD error = removeEntry(*path);
  return error == ERROR_SUCCESS ? succeeded() : changeReply(false, systemMessageText(error));
}

// The Run key that the part of a registry id before its separator names, ignoring case.
const RunKeySource* runKeySourceOf(const std::string& keyPart) {
  const std::wstring wanted = toLowerUnits(win::toUtf16(keyPart));
  for (const auto& source : kRunKeySources) {
    const std::wstring known = win::toUtf16(source.hivePrefix) + source.runKey;
    if (toLowerUnits(known) == wanted) return &source;
  }
  return nullptr;
}

EncodableMap removeRunValue(const std::string& id) {
  const size_t bar = id.find(kIdSeparator);
  if (bar == std::string::npos) return changeReply(false, kBadIdError);
  const RunKeySource* source = runKeySourceOf(id.substr(0, bar));
  if (!source) return changeReply(false, kBadIdError);
  // A value name holding U+0000 would reach the registry cut short: another value.
  const auto valueName = win::pathFromUtf8(id.substr(bar + 1));
  if (!valueName) return changeReply(false, kBadIdError);
  if (::RegDeleteKeyValueW(source->hive, source->runKey, valueName->c_str()) != ERROR_SUCCESS) {
    return changeReply(false, kAccessDeniedError);
  }
  return succeeded();
}

}  // namespace

ApprovalRecord approvalRecord(bool enabled, FILETIME disabledAt) {
  ApprovalRecord record{};
  record[0] = enabled ? kApprovalEnabled : kApprovalDisabled;
  if (!enabled) {
    const uint64_t ticks =
        (static_cast<uint64_t>(disabledAt.dwHighDateTime) << 32) | disabledAt.dwLowDateTime;
    for (size_t i = 0; i < sizeof ticks; ++i) {
      record[kApprovalTimeOffset + i] = static_cast<BYTE>(ticks >> (8 * i));
    }
  }
  return record;
}

EncodableMap setStartupItem(const std::string& id, const std::string& kind, bool enabled) {
  // A name holding U+0000 would reach the registry cut short: the record of another item.
  if (const StartupFolderSource* folder = startupFolderSourceOf(kind)) {
    const auto path = win::pathFromUtf8(id);
    if (!path) return changeReply(false, kBadIdError);
    return writeApproval(folder->approvalHive, kApprovedStartupFolderKey,
                         std::wstring(fileNameOf(*path)), enabled);
  }
  const size_t bar = id.find(kIdSeparator);
  const auto valueName =
      bar == std::string::npos ? std::nullopt : win::pathFromUtf8(id.substr(bar + 1));
  if (!valueName) return changeReply(false, kBadIdError);
  const std::string_view keyPart = std::string_view(id).substr(0, bar);
  const HKEY hive = id.starts_with(kMachineHiveMark) ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  const wchar_t* approvalKey =
      keyPart.find(kRun32Mark) != std::string_view::npos ? kApprovedRun32Key : kApprovedRunKey;
  return writeApproval(hive, approvalKey, *valueName, enabled);
}

EncodableMap removeStartupItem(const std::string& id, const std::string& kind) {
  if (const StartupFolderSource* folder = startupFolderSourceOf(kind)) {
    return removeFolderItem(*folder, id);
  }
  return removeRunValue(id);
}

}  // namespace tidvale::software
