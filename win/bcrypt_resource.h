#pragma once
// RAII owners for the BCrypt handles of a hash computation, in the style of win/unique_resource.h.

#include <windows.h>

#include <bcrypt.h>

#include "win/unique_resource.h"

namespace tidvale::win {

namespace detail {
inline void closeAlgorithm(BCRYPT_ALG_HANDLE handle) {
  ::BCryptCloseAlgorithmProvider(handle, 0);
}
inline void destroyHash(BCRYPT_HASH_HANDLE handle) {
  ::BCryptDestroyHash(handle);
}
}  // namespace detail

// Both kinds of handle are null when not created.
using UniqueAlgorithmHandle = UniqueResource<BCRYPT_ALG_HANDLE, 0, detail::closeAlgorithm>;
using UniqueHashHandle = UniqueResource<BCRYPT_HASH_HANDLE, 0, detail::destroyHash>;

}  // namespace tidvale::win
