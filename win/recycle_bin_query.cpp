#include "win/recycle_bin_query.h"

#include <windows.h>

#include <shellapi.h>

namespace tidvale::win {
namespace {

// The size SHQueryRecycleBinW is told its record has (the 64-bit layout).
constexpr DWORD kRecycleBinInfoSize = 24;
static_assert(sizeof(SHQUERYRBINFO) == kRecycleBinInfoSize,
              "the shell would write past the record");

}  // namespace

std::optional<RecycleBinContents> queryRecycleBin(const wchar_t* root) {
  SHQUERYRBINFO info{};
  info.cbSize = kRecycleBinInfoSize;
  if (FAILED(::SHQueryRecycleBinW(root, &info))) return std::nullopt;
  return RecycleBinContents{info.i64NumItems, info.i64Size};
}

}  // namespace tidvale::win
