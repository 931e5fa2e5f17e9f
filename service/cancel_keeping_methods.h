#pragma once
#include <string_view>

namespace tidvale {

// True for the background methods that leave the cancel flag as it is when they start (the
// system figures and startup items); every other name, unknown ones included, clears it.
bool keepsCancelFlag(std::string_view method);

}  // namespace tidvale
