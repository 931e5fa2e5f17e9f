#pragma once
// Registry keys, values and files that the software tests create and remove again, and lookups
// in replies. Test code only: what cannot be made or removed fails the test.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "channels/encodable_value.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::software::testing {

// A name unique to this process and call, so parallel test processes never share keys.
inline std::wstring uniqueName(const wchar_t* stem) {
  static std::atomic<unsigned> counter{0};
  return std::wstring(stem) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(counter++);
}

// A registry key for one test. Own: created new (it must not exist) and removed with its tree
// at the end; `mayVanish` lets the code under test remove it first. Shared: a key of Windows'
// own (a Run key), created if missing and kept; only the values named by set() or track() are
// deleted at the end.
class TestKey {
 public:
  enum Kind { Own, Shared };
  TestKey(HKEY root, std::wstring path, REGSAM view = 0, Kind kind = Own, bool mayVanish = false)
      : root_(root), view_(view), path_(std::move(path)), kind_(kind), mayVanish_(mayVanish) {
    DWORD disposition = 0;
    EXPECT_EQ(::RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_,
                                nullptr, key_.put(), &disposition),
              ERROR_SUCCESS);
    if (kind_ == Own) {
      EXPECT_EQ(disposition, DWORD{REG_CREATED_NEW_KEY}) << "test key existed";
    }
  }
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;
  ~TestKey() {
    if (kind_ == Shared) {
      for (const auto& name : values_) ::RegDeleteValueW(key_.get(), name.c_str());
      return;
    }
    key_.reset();
    win::UniqueKey still;
    const bool exists = ::RegOpenKeyExW(root_, path_.c_str(), 0, KEY_ALL_ACCESS | view_,
                                        still.put()) == ERROR_SUCCESS;
    if (!exists && mayVanish_) return;
    EXPECT_EQ(::RegDeleteTreeW(still.get(), nullptr), ERROR_SUCCESS);
    EXPECT_EQ(::RegDeleteKeyExW(root_, path_.c_str(), view_, 0), ERROR_SUCCESS);
  }

  void set(const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ) {
    setBytes(name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  }
  void set(const std::wstring& name, DWORD number) {
    setBytes(name, REG_DWORD, &number, sizeof number);
  }
  void set(const std::wstring& name, const std::vector<BYTE>& bytes) {
    setBytes(name, REG_BINARY, bytes.data(), bytes.size());
  }
  void remove(const std::wstring& name) {
    EXPECT_EQ(::RegDeleteValueW(key_.get(), name.c_str()), ERROR_SUCCESS);
  }
  // A value that the code under test writes: deleted at the end as well.
  void track(const std::wstring& name) { values_.push_back(name); }
  // The stored bytes and type of a value, read back by a route of its own; empty when missing.
  std::vector<BYTE> read(const std::wstring& name, DWORD* type = nullptr) const {
    std::vector<BYTE> bytes(8192);
    DWORD size = static_cast<DWORD>(bytes.size());
    if (::RegQueryValueExW(key_.get(), name.c_str(), nullptr, type, bytes.data(), &size) !=
        ERROR_SUCCESS) {
      return {};
    }
    bytes.resize(size);
    return bytes;
  }

 private:
  void setBytes(const std::wstring& name, DWORD type, const void* data, size_t size) {
    ASSERT_EQ(::RegSetValueExW(key_.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                               static_cast<DWORD>(size)),
              ERROR_SUCCESS);
    track(name);
  }

  HKEY root_;
  REGSAM view_;
  std::wstring path_;
  Kind kind_;
  bool mayVanish_;
  win::UniqueKey key_;
  std::vector<std::wstring> values_;
};

// A file the test creates (it must not exist yet) and removes at the end if still there.
class TestFile {
 public:
  explicit TestFile(std::wstring path, size_t bytes = 1)
      : TestFile(std::move(path), std::string(bytes, 'z')) {}
  TestFile(std::wstring path, const std::vector<uint8_t>& bytes)
      : TestFile(std::move(path), std::string(bytes.begin(), bytes.end())) {}
  TestFile(std::wstring path, const std::string& content) : path_(std::move(path)) {
    EXPECT_FALSE(exists()) << "exists already";
    std::ofstream(std::filesystem::path(path_), std::ios::binary) << content;
    EXPECT_TRUE(exists()) << "not created";
  }
  TestFile(const TestFile&) = delete;
  TestFile& operator=(const TestFile&) = delete;
  ~TestFile() {
    if (exists()) {
      EXPECT_TRUE(::DeleteFileW(path_.c_str()));
    }
  }
  const std::wstring& path() const { return path_; }
  bool exists() const { return ::GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

 private:
  std::wstring path_;
};

template <typename T>
const T& field(const EncodableMap& map, const char* key) {
  return std::get<T>(map.at(EncodableValue(key)));
}

// The maps of `reply[listKey]` whose `key` equals `value`.
inline std::vector<EncodableMap> entriesWith(const EncodableMap& reply, const char* listKey,
                                             const char* key, const std::string& value) {
  std::vector<EncodableMap> found;
  for (const auto& entry : field<EncodableList>(reply, listKey)) {
    const auto& map = std::get<EncodableMap>(entry);
    if (field<std::string>(map, key) == value) found.push_back(map);
  }
  return found;
}

}  // namespace tidvale::software::testing
