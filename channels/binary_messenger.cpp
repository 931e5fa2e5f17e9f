#include "channels/binary_messenger.h"

namespace tidvale {

BinaryMessenger::~BinaryMessenger() = default;

}  // namespace tidvale
