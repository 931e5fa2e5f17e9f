#pragma once
// "setStartupItem" and "removeStartupItem": switching a listed startup item on or off through
// the approval record Windows keeps for it, and removing the item. Background thread; never
// fails: the reply {"ok", "error"} tells what happened.

#include <windows.h>

#include <array>
#include <string>

#include "channels/encodable_value.h"

namespace tidvale::software {

inline constexpr char kBadIdError[] = "bad id";
inline constexpr char kAccessDeniedError[] = "Access denied (run as administrator)";
inline constexpr char kRegistryWriteFailedError[] = "Registry write failed";

inline constexpr size_t kApprovalRecordBytes = 12;
inline constexpr BYTE kApprovalEnabled = 0x02;
inline constexpr BYTE kApprovalDisabled = 0x03;
inline constexpr size_t kApprovalTimeOffset = 4;

using ApprovalRecord = std::array<BYTE, kApprovalRecordBytes>;

// The record Windows' startup settings write: the state byte, three zero bytes, then (when
// disabled) `disabledAt` as a little-endian FILETIME, else zeros.
ApprovalRecord approvalRecord(bool enabled, FILETIME disabledAt);

// Writes the approval record of the item `id` of `kind`, disabled with the current time or
// enabled.
EncodableMap setStartupItem(const std::string& id, const std::string& kind, bool enabled);

// Deletes the Run value or the Startup-folder entry that `id` names. Only what the listing
// produces is accepted: an entry directly inside the Startup folder of `kind`, or a value of one
// of the four Run keys; anything else is "bad id" and nothing is touched.
EncodableMap removeStartupItem(const std::string& id, const std::string& kind);

}  // namespace tidvale::software
