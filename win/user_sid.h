#pragma once
// The user the process runs as. Any thread.

#include <string>

namespace tidvale::win {

// The process token's user SID in text form ("S-1-5-21-..."); "" when it cannot be read.
std::wstring currentUserSid();

}  // namespace tidvale::win
