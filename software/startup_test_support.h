#pragma once
// Shared by the startup tests: entries the test puts into the Startup folders, and finding an
// item in a listing. Test code only.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "channels/encodable_value.h"
#include "software/startup_items.h"
#include "win/text.h"

namespace tidvale::software::testing {

// A file the test creates (it must not exist yet) and removes at the end if still there.
class TestFile {
 public:
  explicit TestFile(std::wstring path) : path_(std::move(path)) {
    EXPECT_EQ(::GetFileAttributesW(path_.c_str()), INVALID_FILE_ATTRIBUTES) << "exists already";
    std::ofstream(std::filesystem::path(path_), std::ios::binary) << "[InternetShortcut]\r\n";
    EXPECT_NE(::GetFileAttributesW(path_.c_str()), INVALID_FILE_ATTRIBUTES) << "not created";
  }
  TestFile(const TestFile&) = delete;
  TestFile& operator=(const TestFile&) = delete;
  ~TestFile() {
    if (::GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES) {
      EXPECT_TRUE(::DeleteFileW(path_.c_str()));
    }
  }
  const std::wstring& path() const { return path_; }
  bool exists() const { return ::GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

 private:
  std::wstring path_;
};

// The listed item with this "id", if any; fails the test when it is listed more than once.
inline std::optional<EncodableMap> listedItem(const std::string& id) {
  const EncodableMap reply = listStartupItems();
  std::optional<EncodableMap> found;
  for (const auto& item : std::get<EncodableList>(reply.at(EncodableValue("items")))) {
    const auto& map = std::get<EncodableMap>(item);
    if (std::get<std::string>(map.at(EncodableValue("id"))) != id) continue;
    EXPECT_FALSE(found) << id << " listed twice";
    found = map;
  }
  return found;
}

inline std::string stringField(const EncodableMap& item, const char* key) {
  return std::get<std::string>(item.at(EncodableValue(key)));
}
inline bool boolField(const EncodableMap& item, const char* key) {
  return std::get<bool>(item.at(EncodableValue(key)));
}

}  // namespace tidvale::software::testing
