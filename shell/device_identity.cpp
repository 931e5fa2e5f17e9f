#include "shell/device_identity.h"

#include <span>

#include "core/lower_hex.h"
#include "shell/identity_source.h"
#include "win/computer_name.h"
#include "win/text.h"

namespace tidvale::shell {

std::string formatDeviceId(const std::optional<Sha256Digest>& digest) {
  std::string id(kDeviceIdPrefix);
  if (!digest) return id;
  appendLowerHex(id, std::span(*digest).first<kDeviceIdDigestBytes>());
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
  return win::toUtf8(win::computerName());
}

}  // namespace tidvale::shell
