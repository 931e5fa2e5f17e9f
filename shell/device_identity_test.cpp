#include "shell/device_identity.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "shell/identity_source.h"
#include "shell/test_registry_key.h"
#include "win/computer_name.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::shell {
namespace {

using testing::TestRegistryKey;
using testing::uniqueKeyName;

// Expected values below come from `printf '%s' INPUT | sha256sum`, not from this code's route.
struct SourceVector {
  const wchar_t* source;
  const char* expectedId;
};

constexpr SourceVector kSourceVectors[] = {
    // Neither GUID nor computer name: the prefix alone is hashed.
    {L"", "win-db0c91226916e1bc506155b41439aadb25566907"},
    {L"abc", "win-e83470655a2794a19fa22e1af85dd8c6c1457364"},
    {L"bbbda0aa-3ac8-436f-a109-7525f062f892", "win-258e90b635bc215fc3829bff7ba9f905bbb54840"},
    // Non-ASCII sources are hashed as UTF-8, including a surrogate pair (U+1F600).
    {L"\u00e9", "win-01ce337b1eb847cd03f15e67ff212623a573cf27"},
    {L"\U0001F600", "win-cbfebe9ad64de7565ce6a8a72be0d98186a94693"},
};

TEST(DeviceIdFromSource, MatchesIndependentlyComputedDigests) {
  for (const auto& vector : kSourceVectors) {
    EXPECT_EQ(deviceIdFromSource(vector.source), vector.expectedId) << win::toUtf8(vector.source);
  }
}

TEST(FormatDeviceId, PrefixAloneWithoutDigest) {
  EXPECT_EQ(formatDeviceId(std::nullopt), "win-");
}

// The machine GUID of the prefix, read by another route than the code under test.
std::wstring machineGuidOfPrefix() {
  win::UniqueKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMachineGuidKey, 0, KEY_READ | KEY_WOW64_64KEY,
                      key.put()) != ERROR_SUCCESS) {
    return {};
  }
  wchar_t buffer[128] = {};
  DWORD type = 0;
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (::RegQueryValueExW(key.get(), kMachineGuidValue, nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  return buffer;
}

TEST(DeviceId, ShapedStableAndDerivedFromTheMachineGuid) {
  const std::string first = deviceId();
  ASSERT_EQ(first.size(), 44u);
  EXPECT_TRUE(first.starts_with("win-"));
  EXPECT_EQ(first.find_first_not_of("0123456789abcdef", 4), std::string::npos) << first;
  EXPECT_EQ(deviceId(), first);

  const std::wstring guid = machineGuidOfPrefix();
  ASSERT_FALSE(guid.empty()) << "the prefix has no machine GUID";
  EXPECT_EQ(first, deviceIdFromSource(guid));
  EXPECT_NE(first, deviceIdFromSource(win::computerName()));
}

// The computer name by another route than GetComputerNameW.
std::wstring netbiosName() {
  wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = static_cast<DWORD>(std::size(buffer));
  if (!::GetComputerNameExW(ComputerNameNetBIOS, buffer, &size)) return {};
  return std::wstring(buffer, size);
}

TEST(DeviceName, IsTheNetbiosName) {
  const std::string name = deviceName();
  EXPECT_FALSE(name.empty());
  EXPECT_EQ(name.find('\0'), std::string::npos);
  EXPECT_EQ(name, win::toUtf8(netbiosName()));
}

// How the value under a test key decides the identity source.
enum class Expect { Guid, ComputerName };
struct SourceCase {
  const char* label;
  enum { String, Dword, NoValue, NoKey } kind;
  std::wstring data;
  Expect expect;
};

const SourceCase kSourceCases[] = {
    {"guid", SourceCase::String, L"0f8fad5b-d9cb-469f-a165-70867728950e", Expect::Guid},
    {"empty value", SourceCase::String, L"", Expect::ComputerName},
    {"no value", SourceCase::NoValue, L"", Expect::ComputerName},
    {"no key", SourceCase::NoKey, L"", Expect::ComputerName},
    {"not a string", SourceCase::Dword, L"", Expect::ComputerName},
    // 127 units and the NUL fill the 256-byte buffer exactly; one more does not fit.
    {"longest that fits", SourceCase::String, std::wstring(127, L'g'), Expect::Guid},
    {"one unit too long", SourceCase::String, std::wstring(128, L'g'), Expect::ComputerName},
};

TEST(IdentitySource, GuidWhenPresentElseComputerName) {
  const std::wstring computer = win::computerName();
  ASSERT_FALSE(computer.empty());
  for (const auto& c : kSourceCases) {
    SCOPED_TRACE(c.label);
    TestRegistryKey key(HKEY_CURRENT_USER, uniqueKeyName(L"source"));
    const std::wstring path = c.kind == SourceCase::NoKey ? key.path() + L"\\absent" : key.path();
    if (c.kind == SourceCase::String) key.setString(kMachineGuidValue, c.data);
    if (c.kind == SourceCase::Dword) key.setDword(kMachineGuidValue, 42);

    const std::wstring expected = c.expect == Expect::Guid ? c.data : computer;
    EXPECT_EQ(identitySource(HKEY_CURRENT_USER, path.c_str()), expected);
    EXPECT_EQ(deviceIdFromSource(identitySource(HKEY_CURRENT_USER, path.c_str())),
              deviceIdFromSource(expected));
  }
}

// A 64-bit test process already sees the 64-bit view by default, so what can be checked here is
// that the 32-bit view's value is never the one read, whether or not the 64-bit view has one.
TEST(ReadMachineGuid, NeverReadsThe32BitView) {
  const std::wstring name = uniqueKeyName(L"views");
  TestRegistryKey native(HKEY_LOCAL_MACHINE, name, KEY_WOW64_64KEY);
  TestRegistryKey redirected(HKEY_LOCAL_MACHINE, name, KEY_WOW64_32KEY);
  redirected.setString(kMachineGuidValue, L"value-of-the-32-bit-view");
  EXPECT_EQ(readMachineGuid(HKEY_LOCAL_MACHINE, native.path().c_str()), L"");

  native.setString(kMachineGuidValue, L"value-of-the-64-bit-view");
  EXPECT_EQ(readMachineGuid(HKEY_LOCAL_MACHINE, native.path().c_str()),
            L"value-of-the-64-bit-view");
}

}  // namespace
}  // namespace tidvale::shell
