#pragma once
// What a Recycle Bin holds, as the shell reports it. Any thread.

#include <cstdint>
#include <optional>

namespace tidvale::win {

struct RecycleBinContents {
  int64_t items = 0;
  int64_t bytes = 0;
};

// SHQueryRecycleBinW for the bin of the drive whose root is `root` ("C:\"), or of every drive
// when `root` is null; nothing when the shell reports a failure.
std::optional<RecycleBinContents> queryRecycleBin(const wchar_t* root);

}  // namespace tidvale::win
