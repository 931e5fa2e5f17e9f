#include "system/memory_optimizer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "win/unique_resource.h"

namespace tidvale::system {
namespace {

// The attributes of privilege `name` in this process's token; nullopt when the token lacks it.
std::optional<DWORD> privilegeAttributes(const wchar_t* name) {
  win::UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return std::nullopt;
  LUID luid{};
  if (!::LookupPrivilegeValueW(nullptr, name, &luid)) return std::nullopt;
  DWORD bytes = 0;
  ::GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &bytes);
  std::vector<BYTE> buffer(bytes);
  if (!::GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), bytes, &bytes)) {
    return std::nullopt;
  }
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID& held = privileges->Privileges[i].Luid;
    if (held.LowPart == luid.LowPart && held.HighPart == luid.HighPart) {
      return privileges->Privileges[i].Attributes;
    }
  }
  return std::nullopt;
}

TEST(MemoryOptimizer, EnablesEachPrivilegeItNeeds) {
  for (const wchar_t* name : kOptimizerPrivileges) {
    const auto before = privilegeAttributes(name);
    ASSERT_TRUE(before.has_value()) << "the test token lacks a privilege it should hold";
    ASSERT_EQ(*before & SE_PRIVILEGE_ENABLED, 0u) << "enabled already: nothing would be shown";
    enablePrivilege(name);
    const auto after = privilegeAttributes(name);
    ASSERT_TRUE(after.has_value());
    EXPECT_NE(*after & SE_PRIVILEGE_ENABLED, 0u);
  }
}

}  // namespace
}  // namespace tidvale::system
