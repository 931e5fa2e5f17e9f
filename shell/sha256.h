#pragma once
// SHA-256 through the system's cryptography provider. Any thread.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tidvale::shell {

inline constexpr std::size_t kSha256DigestBytes = 32;
using Sha256Digest = std::array<std::uint8_t, kSha256DigestBytes>;

// Digest of `data`, hashed in one call. std::nullopt when the provider cannot be opened, the hash
// object cannot be created, the data cannot be hashed (including data of 4 GiB or more) or the
// digest cannot be finished. Every handle is released before returning.
std::optional<Sha256Digest> sha256(std::string_view data);

}  // namespace tidvale::shell
