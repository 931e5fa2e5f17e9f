#pragma once
// Real files and folders for tests under Wine: everything created through CreatedPaths is removed
// when it goes out of scope, newest first, and anything that cannot be removed fails the test.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tidvale::testing {

// GetTempPathW without its trailing separator.
std::wstring tempPath();
bool pathExists(const std::wstring& path);
// Removes a file or a folder with everything in it; links are removed as links, never entered.
// Returns whether the path is gone.
bool removeTree(const std::wstring& path);
// Sets the last-write time (100 ns ticks since 1601) of a file or folder.
void setLastWriteTime(const std::wstring& path, int64_t ticks);
void setAttributes(const std::wstring& path, uint32_t attributes);
// The attributes of the entry itself; INVALID_FILE_ATTRIBUTES when it cannot be read.
uint32_t attributesOf(const std::wstring& path);

class CreatedPaths {
 public:
  CreatedPaths() = default;
  CreatedPaths(const CreatedPaths&) = delete;
  CreatedPaths& operator=(const CreatedPaths&) = delete;
  ~CreatedPaths();

  // Creates the folder and its missing parents; the top-most created one is removed at the end.
  // Paths may be longer than 260 units.
  void folder(const std::wstring& path);
  // Creates (or replaces) a file of `bytes` bytes, and its missing parents.
  void file(const std::wstring& path, size_t bytes);

 private:
  std::vector<std::wstring> created_;
};

// A folder with a unique name under the temp folder, removed with its contents at the end.
class TempFolder {
 public:
  TempFolder();
  const std::wstring& path() const { return path_; }
  // The folder's path joined with `relative`.
  std::wstring operator/(const std::wstring& relative) const;
  void folder(const std::wstring& relative) { created_.folder(*this / relative); }
  void file(const std::wstring& relative, size_t bytes) { created_.file(*this / relative, bytes); }

 private:
  CreatedPaths created_;
  std::wstring path_;
};

}  // namespace tidvale::testing
