#pragma once
// The computer's own name, as the device identity and the system summary report it.

#include <string>

namespace tidvale::win {

// The computer's NetBIOS name; "" when it cannot be read.
std::wstring computerName();

}  // namespace tidvale::win
