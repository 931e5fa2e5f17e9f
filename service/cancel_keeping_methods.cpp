#include "service/cancel_keeping_methods.h"

#include <set>
#include <string>

namespace tidvale {

bool keepsCancelFlag(std::string_view method) {
  static const std::set<std::string, std::less<>> cancelKeepingMethods{
      "systemInfo",       "memoryInfo",     "optimizeMemory",
      "listStartupItems", "setStartupItem", "removeStartupItem",
  };
  return cancelKeepingMethods.contains(method);
}

}  // namespace tidvale
