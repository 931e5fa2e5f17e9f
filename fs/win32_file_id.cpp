#include "fs/win32_file_id.h"

#include <windows.h>

#include <cstring>

namespace tidvale::fs {

std::optional<FileId> fileIdOf(void* handle) {
  FILE_ID_INFO info{};
  if (::GetFileInformationByHandleEx(handle, FileIdInfo, &info, sizeof(info))) {
    FileId id{info.VolumeSerialNumber};
    static_assert(sizeof(info.FileId.Identifier) == sizeof(id.low) + sizeof(id.high));
    std::memcpy(&id.low, info.FileId.Identifier, sizeof(id.low));
    std::memcpy(&id.high, info.FileId.Identifier + sizeof(id.low), sizeof(id.high));
    return id;
  }
  BY_HANDLE_FILE_INFORMATION basic;
  if (!::GetFileInformationByHandle(handle, &basic)) return std::nullopt;
  return FileId{basic.dwVolumeSerialNumber,
                (static_cast<uint64_t>(basic.nFileIndexHigh) << 32) | basic.nFileIndexLow, 0};
}

}  // namespace tidvale::fs
