#pragma once
// A stable, anonymous identifier of this Windows installation, and the computer's name.
// Nothing is cached: every call reads the system again. Any thread; nothing throws.

#include <optional>
#include <string>
#include <string_view>

#include "shell/sha256.h"

namespace tidvale::shell {

// Every identifier starts with this; when hashing is unavailable it is the whole identifier.
inline constexpr std::string_view kDeviceIdPrefix = "win-";
// Put in front of the identity source before hashing, so the identifier cannot be matched
// against a plain digest of the machine GUID kept by other software.
inline constexpr std::string_view kHashedInputPrefix = "tidvale:";
// Leading digest bytes written into the identifier (as two lower-case hex digits each).
inline constexpr std::size_t kDeviceIdDigestBytes = 20;

// "win-" and 40 lower-case hex digits: the machine GUID of the 64-bit registry view, else the
// computer name, else nothing, prefixed and hashed. "win-" alone when hashing fails.
std::string deviceId();

// The computer's NetBIOS name in UTF-8; "" when it cannot be read.
std::string deviceName();

// The identifier for a given identity source (UTF-16; converted to UTF-8 before hashing).
std::string deviceIdFromSource(std::wstring_view source);

// "win-" followed by the first 20 bytes of `digest` in lower-case hex, high nibble first;
// "win-" alone when there is no digest.
std::string formatDeviceId(const std::optional<Sha256Digest>& digest);

}  // namespace tidvale::shell
