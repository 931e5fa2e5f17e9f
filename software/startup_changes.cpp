#include "software/startup_changes.h"

#include <optional>
#include <string_view>

#include "core/lower_case.h"
#include "scanners/scan_text.h"
#include "software/startup_sources.h"
#include "software/system_message.h"
#include "win/known_folder.h"
#include "win/path_names.h"
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

std::wstring withoutTrailingSeparator(std::wstring path) {
  while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

// The normalised path of an entry directly inside `folder`, or nothing. A stream name (a colon
// in the entry's name) is refused: the listing never names one.
std::optional<std::wstring> entryDirectlyInside(const std::wstring& folder,
                                                const std::wstring& id) {
  if (folder.empty() || id.empty()) return std::nullopt;
  const std::wstring normalFolder =
      withoutTrailingSeparator(win::fullPathName(folder).value_or(L""));
  const std::wstring normalEntry = win::fullPathName(id).value_or(L"");
  const size_t slash = normalEntry.rfind(L'\\');
  if (normalFolder.empty() || slash == std::wstring::npos) return std::nullopt;
  const std::wstring name = normalEntry.substr(slash + 1);
  if (name.empty() || name.find(L':') != std::wstring::npos) return std::nullopt;
  if (toLowerUnits(normalEntry.substr(0, slash)) != toLowerUnits(normalFolder)) {
    return std::nullopt;
  }
  return normalEntry;
}

// Removes a file, a link as itself, or an empty folder; a missing entry counts as removed.
DWORD removeEntry(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
  }
  const BOOL removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                           ? ::RemoveDirectoryW(path.c_str())
                           : ::DeleteFileW(path.c_str());
  return removed ? ERROR_SUCCESS : ::GetLastError();
}

EncodableMap removeFolderItem(const StartupFolderSource& source, const std::string& id) {
  const auto path = win::pathFromUtf8(id);
  if (!path) return changeReply(false, kBadIdError);
  const auto entry = entryDirectlyInside(win::knownFolderPath(*source.folder), *path);
  if (!entry) return changeReply(false, kBadIdError);
  const DWORD error = removeEntry(*entry);
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
