#include "core/dispatcher.h"

#include <utility>

namespace tidvale {

DispatchQueue& dispatcher() {
  static DispatchQueue* const queue = new DispatchQueue();  // lives until the process exits
  return *queue;
}

void postToPlatformThread(DispatchQueue::Closure closure) {
  dispatcher().post(std::move(closure));
}

}  // namespace tidvale
