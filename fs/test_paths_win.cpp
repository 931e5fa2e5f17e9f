#include "fs/test_paths_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "fs/path_text.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::testing {
namespace {

// Test paths are drive-absolute and normalised: the extended form reaches any length and keeps
// names ending in a dot or a space. Built here, independently of the code under test.
std::wstring longForm(const std::wstring& path) {
  return L"\\\\?\\" + path;
}

std::wstring parentOf(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

}  // namespace

std::wstring tempPath() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  std::wstring path(buffer, length);
  while (!path.empty() && fs::isSeparator(path.back())) path.pop_back();
  return path;
}

bool pathExists(const std::wstring& path) {
  return ::GetFileAttributesW(longForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool removeTree(const std::wstring& path) {
  const std::wstring target = longForm(path);
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ::DeleteFileW(target.c_str()) != 0;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    WIN32_FIND_DATAW data;
    win::UniqueFindHandle find(::FindFirstFileW(fs::joinPath(target, L"*").c_str(), &data));
    if (find) {
      do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") removeTree(fs::joinPath(path, name));
      } while (::FindNextFileW(find.get(), &data));
    }
  }
  return ::RemoveDirectoryW(target.c_str()) != 0;
}

void setLastWriteTime(const std::wstring& path, int64_t ticks) {
  win::UniqueFileHandle file(::CreateFileW(longForm(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                           nullptr));
  ASSERT_TRUE(file.valid()) << win::toUtf8(path);
  FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32)};
  ASSERT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &time));
}

void setAttributes(const std::wstring& path, uint32_t attributes) {
  ASSERT_TRUE(::SetFileAttributesW(longForm(path).c_str(), attributes)) << win::toUtf8(path);
}

uint32_t attributesOf(const std::wstring& path) {
  return ::GetFileAttributesW(longForm(path).c_str());
}

CreatedPaths::~CreatedPaths() {
  for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
    EXPECT_TRUE(removeTree(*it) && !pathExists(*it)) << "leftover: " << win::toUtf8(*it);
  }
}

void CreatedPaths::folder(const std::wstring& path) {
  if (pathExists(path)) return;
  const std::wstring parent = parentOf(path);
  if (!parent.empty() && !pathExists(parent)) {
    folder(parent);  // records the top-most missing ancestor instead of this folder
    ASSERT_TRUE(::CreateDirectoryW(longForm(path).c_str(), nullptr)) << win::toUtf8(path);
    return;
  }
  ASSERT_TRUE(::CreateDirectoryW(longForm(path).c_str(), nullptr)) << win::toUtf8(path);
  created_.push_back(path);
}

void CreatedPaths::file(const std::wstring& path, size_t bytes) {
  const std::wstring parent = parentOf(path);
  const bool parentExisted = pathExists(parent);
  if (!parentExisted) folder(parent);
  const bool existed = pathExists(path);
  win::UniqueFileHandle file(::CreateFileW(longForm(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.valid()) << win::toUtf8(path);
  const std::string content(bytes, 'x');
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                          nullptr));
  ASSERT_EQ(written, bytes);
  if (parentExisted && !existed) created_.push_back(path);
}

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  path_ = tempPath() + L"\\tidvale-scanners-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
          std::to_wstring(counter++) + L"-" + std::to_wstring(::GetTickCount64());
  EXPECT_FALSE(pathExists(path_));
  created_.folder(path_);
}

std::wstring TempFolder::operator/(const std::wstring& relative) const {
  return fs::joinPath(path_, relative);
}

}  // namespace tidvale::testing
