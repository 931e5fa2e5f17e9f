#include "shell/device_identity.h"

#include "shell/identity_source.h"
#include "win/text.h"

namespace tidvale::shell {

namespace {
constexpr char kHexDigits[] = "0123456789abcdef";
}  // namespace

std::string formatDeviceId(const std::optional<Sha256Digest>& digest) {
  std::string id(kDeviceIdPrefix);
  if (!digest) return id;
  id.reserve(kDeviceIdPrefix.size() + 2 * kDeviceIdDigestBytes);
  for (std::size_t i = 0; i < kDeviceIdDigestBytes; ++i) {
    const std::uint8_t byte = (*digest)[i];
    id.push_back(kHexDigits[byte >> 4]);
    id.push_back(kHexDigits[byte & 0x0f]);
  }
  return id;
}

std::string deviceIdFromSource(std::wstring_view source) {
  std::string input(kHashedInputPrefix);
  input += win::toUtf8(source);
  return formatDeviceId(sha256(input));
}

std::string deviceId() {
  return deviceIdFromSource(identitySource(HKEY_LOCAL_MACHINE, kMachineGuidKey));
}

std::string deviceName() {
  return win::toUtf8(computerName());
}

}  // namespace tidvale::shell
