#include "removal/win32_recycle_bin.h"

#include <windows.h>

#include <shellapi.h>

#include "fs/win32_file_system.h"
#include "removal/empty_bins.h"
#include "removal/recycle_index.h"
#include "removal/recycle_purge.h"
#include "win/recycle_bin_query.h"
#include "win/unique_resource.h"
#include "win/user_sid.h"

namespace tidvale {
namespace {

constexpr UINT kEmptyFlags = SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND;
constexpr FILEOP_FLAGS kRecycleFlags =
    FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NOERRORUI;  // 0x0454
constexpr size_t kDriveRootLength = 3;

class Win32ShellBinCalls final : public ShellBinCalls {
 public:
  BinQuery queryAll() override {
    const auto contents = win::queryRecycleBin(nullptr);
    if (!contents) return BinQuery{};
    return BinQuery{true, contents->items, contents->bytes};
  }
  bool emptyAll() override {
    return SUCCEEDED(::SHEmptyRecycleBinW(nullptr, nullptr, kEmptyFlags));
  }
};

class Win32RecycleBin final : public RecycleBin {
 public:
  EmptyBinsResult emptyAll() override {
    Win32ShellBinCalls shell;
    return emptyAllRecycleBins(shell);
  }

  int64_t bytesOnDriveOf(const std::wstring& path) override {
    if (path.size() < kDriveRootLength) return 0;
    const std::wstring root = path.substr(0, kDriveRootLength);
    const auto contents = win::queryRecycleBin(root.c_str());
    return contents ? contents->bytes : 0;
  }

  bool recycle(const std::wstring& path) override {
    // A list of one path, ended by an empty entry.
    std::wstring from = path;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = kRecycleFlags;
    return ::SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted;
  }

  bool purge(const std::wstring& path, uint64_t fileId, CheckedRemoval& removal) override {
    return purgeFromRecycleBin(removal, readRecycleIndexFile, win::currentUserSid(), path, fileId);
  }
};

}  // namespace

RecycleBin& win32RecycleBin() {
  static Win32RecycleBin bin;  // stateless
  return bin;
}

std::vector<uint8_t> readRecycleIndexFile(const std::wstring& path) {
  const std::optional<std::wstring> target = fs::win32Path(path);
  if (!target) return {};
  win::UniqueFileHandle file(::CreateFileW(target->c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::vector<uint8_t> bytes(kRecycleIndexMaxBytes);
  DWORD read = 0;
  if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
    return {};
  }
  bytes.resize(read);
  return bytes;
}

}  // namespace tidvale
