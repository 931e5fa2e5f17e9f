#include "software/startup_items.h"

#include <algorithm>

#include "core/lower_case.h"
#include "fs/path_text.h"
#include "fs/win32_file_system.h"
#include "software/startup_sources.h"
#include "win/known_folder.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::software {
namespace {

constexpr wchar_t kFolderSettingsFile[] = L"desktop.ini";

EncodableMap startupItem(const std::string& id, const std::wstring& name, const std::wstring& path,
                         const char* kind, bool enabled, bool editable) {
  return EncodableMap{
      {EncodableValue("id"), EncodableValue(id)},
      {EncodableValue("name"), EncodableValue(win::toUtf8(name))},
      {EncodableValue("path"), EncodableValue(win::toUtf8(path))},
      {EncodableValue("kind"), EncodableValue(kind)},
      {EncodableValue("enabled"), EncodableValue(enabled)},
      {EncodableValue("runAtLoad"), EncodableValue(true)},
      {EncodableValue("editable"), EncodableValue(editable)},
  };
}

void listRunKey(const RunKeySource& source, EncodableList& items) {
  win::UniqueKey key;
  if (::RegOpenKeyExW(source.hive, source.runKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return;
  }
  const std::string idPrefix =
      std::string(source.hivePrefix) + win::toUtf8(source.runKey) + kIdSeparator;
  for (DWORD index = 0;; ++index) {
    wchar_t name[kRunValueNameUnits] = {};
    wchar_t data[kRunValueDataBytes / sizeof(wchar_t)] = {};
    DWORD nameUnits = kRunValueNameUnits;
    DWORD dataBytes = kRunValueDataBytes;
    DWORD type = 0;
    const LSTATUS status = ::RegEnumValueW(key.get(), index, name, &nameUnits, nullptr, &type,
                                           reinterpret_cast<BYTE*>(data), &dataBytes);
    if (status == ERROR_NO_MORE_ITEMS) return;
    // Too long for the buffers: skip it. Any other failure means the key can no longer be read
    // (deleted meanwhile): what was listed stands.
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return;
    if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
    data[std::min<DWORD>(dataBytes / sizeof(wchar_t), kRunValueMaxUnits)] = L'\0';
    const std::wstring valueName(name, nameUnits);
    items.emplace_back(startupItem(idPrefix + win::toUtf8(valueName), valueName, data, source.kind,
                                   isApproved(source.hive, source.approvalKey, valueName),
                                   source.editable));
  }
}

// A path's stem: the name before its last dot, unless that dot is the name's first unit.
std::wstring stemOf(const std::wstring& fileName) {
  const size_t dot = fileName.rfind(L'.');
  if (dot == std::wstring::npos || dot == 0) return fileName;
  return fileName.substr(0, dot);
}

void listStartupFolder(const StartupFolderSource& source, EncodableList& items) {
  const std::wstring folder = win::knownFolderPath(*source.folder);
  if (folder.empty()) return;
  const auto listing = fs::systemFileSystem().openFolder(folder);
  if (!listing) return;
  fs::DirEntry entry;
  while (listing->next(entry) == fs::ListStep::Entry) {
    if (toLowerUnits(entry.name) == kFolderSettingsFile) continue;
    const std::wstring path = fs::joinPath(folder, entry.name);
    items.emplace_back(
        startupItem(win::toUtf8(path), stemOf(entry.name), path, source.kind,
                    isApproved(source.approvalHive, kApprovedStartupFolderKey, entry.name), true));
  }
}

}  // namespace

bool isApproved(HKEY hive, const wchar_t* approvalKey, const std::wstring& valueName) {
  BYTE record[kApprovalRecordReadBytes] = {};
  DWORD bytes = sizeof record;
  const LSTATUS status = ::RegGetValueW(hive, approvalKey, valueName.c_str(), RRF_RT_REG_BINARY,
                                        nullptr, record, &bytes);
  return !(status == ERROR_SUCCESS && bytes != 0 && (record[0] & kApprovalDisabledBit) != 0);
}

EncodableMap listStartupItems() {
  EncodableList items;
  for (const auto& source : kRunKeySources) listRunKey(source, items);
  for (const auto& source : kStartupFolderSources) listStartupFolder(source, items);
  return EncodableMap{{EncodableValue("items"), EncodableValue(std::move(items))}};
}

}  // namespace tidvale::software
