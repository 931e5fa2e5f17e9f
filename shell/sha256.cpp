#include "shell/sha256.h"

#include <limits>

#include "win/bcrypt_resource.h"

namespace tidvale::shell {

std::optional<Sha256Digest> sha256(std::string_view data) {
  if (data.size() > std::numeric_limits<ULONG>::max()) return std::nullopt;

  win::UniqueAlgorithmHandle algorithm;
  if (!BCRYPT_SUCCESS(
          ::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    return std::nullopt;
  }
  win::UniqueHashHandle hash;
  if (!BCRYPT_SUCCESS(::BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0))) {
    return std::nullopt;
  }
  // A failed update followed by a successful finish would yield the digest of other data, so
  // it counts as a failure rather than being ignored.
  auto* bytes = reinterpret_cast<PUCHAR>(const_cast<char*>(data.data()));
  if (!BCRYPT_SUCCESS(::BCryptHashData(hash.get(), bytes, static_cast<ULONG>(data.size()), 0))) {
    return std::nullopt;
  }
  Sha256Digest digest{};
  if (!BCRYPT_SUCCESS(::BCryptFinishHash(hash.get(), digest.data(), kSha256DigestBytes, 0))) {
    return std::nullopt;
  }
  return digest;
}

}  // namespace tidvale::shell
