#pragma once
// Registry keys and values that a test creates and removes again. Test code only: failures to
// create or remove are test failures, and a key left behind fails the test.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "win/unique_resource.h"

namespace tidvale::software::testing {

// A name unique to this process and call, so parallel test processes never share keys.
inline std::wstring uniqueName(const wchar_t* stem) {
  static std::atomic<unsigned> counter{0};
  return std::wstring(stem) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(counter++);
}

// Writes values into an open key.
class ValueWriter {
 public:
  void setString(const std::wstring& name, const std::wstring& data, DWORD type = REG_SZ) {
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    set(name, type, reinterpret_cast<const BYTE*>(data.c_str()), bytes);
  }
  void setDword(const std::wstring& name, DWORD data) {
    set(name, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
  }
  void deleteValue(const std::wstring& name) {
    EXPECT_EQ(::RegDeleteValueW(writableKey(), name.c_str()), ERROR_SUCCESS);
  }
  void setBinary(const std::wstring& name, const std::vector<BYTE>& data) {
    set(name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
  }

 protected:
  virtual HKEY writableKey() const = 0;
  virtual void written(const std::wstring&) {}
  ~ValueWriter() = default;

 private:
  void set(const std::wstring& name, DWORD type, const BYTE* data, DWORD bytes) {
    ASSERT_EQ(::RegSetValueExW(writableKey(), name.c_str(), 0, type, data, bytes), ERROR_SUCCESS)
        << "cannot write test value";
    written(name);
  }
};

// Whether the code under test may remove the key itself.
enum class Removal { ByTest, MaybeByCode };

// A key the test creates at `path` under `root` (it must not exist yet); its whole tree is
// removed at the end.
class TestKey : public ValueWriter {
 public:
  TestKey(HKEY root, std::wstring path, REGSAM view = 0, Removal removal = Removal::ByTest)
      : root_(root), view_(view), path_(std::move(path)), removal_(removal) {
    DWORD disposition = 0;
    EXPECT_EQ(::RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_,
                                nullptr, key_.put(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY)) << "test key existed";
  }
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;
  ~TestKey() {
    key_.reset();
    if (removal_ == Removal::MaybeByCode && !openRoot()) return;
    EXPECT_EQ(::RegDeleteTreeW(openRoot().get(), nullptr), ERROR_SUCCESS);
    EXPECT_EQ(::RegDeleteKeyExW(root_, path_.c_str(), view_, 0), ERROR_SUCCESS);
    win::UniqueKey leftover;
    EXPECT_EQ(::RegOpenKeyExW(root_, path_.c_str(), 0, KEY_READ | view_, leftover.put()),
              ERROR_FILE_NOT_FOUND)
        << "test key left behind";
  }
  const std::wstring& path() const { return path_; }

 private:
  HKEY writableKey() const override { return key_.get(); }
  win::UniqueKey openRoot() const {
    win::UniqueKey key;
    ::RegOpenKeyExW(root_, path_.c_str(), 0, KEY_ALL_ACCESS | view_, key.put());
    return key;
  }

  HKEY root_;
  REGSAM view_;
  std::wstring path_;
  Removal removal_;
  win::UniqueKey key_;
};

// Values the test writes into a key of Windows' own (such as a Run key), created if missing and
// then left in place; every value written is deleted at the end.
class TestValues : public ValueWriter {
 public:
  TestValues(HKEY root, const std::wstring& path) {
    EXPECT_EQ(::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                key_.put(), nullptr),
              ERROR_SUCCESS);
  }
  TestValues(const TestValues&) = delete;
  TestValues& operator=(const TestValues&) = delete;
  ~TestValues() {
    for (const auto& name : names_) {
      const LSTATUS status = ::RegDeleteValueW(key_.get(), name.c_str());
      EXPECT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND);
    }
  }
  HKEY key() const { return key_.get(); }
  // A value that the code under test will write: deleted at the end as well.
  void track(const std::wstring& name) { names_.push_back(name); }

 private:
  HKEY writableKey() const override { return key_.get(); }
  void written(const std::wstring& name) override { names_.push_back(name); }

  win::UniqueKey key_;
  std::vector<std::wstring> names_;
};

}  // namespace tidvale::software::testing
