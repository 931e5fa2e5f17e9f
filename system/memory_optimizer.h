#pragma once
// The method "optimizeMemory": empties the working set of every process this process may open,
// flushes the system file cache, lets the system settle and reports how far memory use dropped.
// Any thread (a background operation thread in the service); sends no progress events; nothing
// throws and nothing is an error: what cannot be done only shows in smaller figures.

#include <cstdint>

#include "channels/encodable_value.h"

namespace tidvale::system {

// Enabled, in this order, before trimming: opening other users' and system processes, setting
// their working-set quotas, and flushing the file cache.
inline constexpr const wchar_t* kOptimizerPrivileges[] = {
    L"SeDebugPrivilege", L"SeIncreaseQuotaPrivilege", L"SeProfileSingleProcessPrivilege"};
// Time given to the system after the flush, so the second report sees pages actually released.
inline constexpr uint32_t kSettleMilliseconds = 800;

// Enables the privilege `name` in this process's token, where the token holds it. Silent on every
// failure. The privilege stays enabled for the rest of the process's life.
void enablePrivilege(const wchar_t* name);

// Empties the working set of every process of a fresh snapshot that can be opened for it, this
// process and system processes included. Returns how many were emptied successfully (0 when no
// snapshot can be taken).
uint32_t trimWorkingSets();

// Background operation: the memory report's "used" before, the privileges, the trim, the cache
// flush, kSettleMilliseconds of sleep, "used" again; optimizerReplyMap of the figures. Takes at
// least kSettleMilliseconds.
EncodableMap optimizeMemory();

}  // namespace tidvale::system
