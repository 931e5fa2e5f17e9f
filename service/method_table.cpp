#include "service/method_table.h"

#include <functional>
#include <map>

#include "scanners/junk_scan.h"
#include "scanners/size_of.h"
#include "service/method_arguments.h"
#include "system/memory_optimizer.h"
#include "system/memory_report.h"
#include "system/system_summary.h"
#include "win/text.h"

namespace tidvale {
namespace {

using Operation = std::function<EncodableMap(ServiceState&, const EncodableMap&)>;

// Adding a method: read its arguments (service/method_arguments.h) and call its operation.
const std::map<std::string, Operation, std::less<>>& backgroundMethods() {
  static const std::map<std::string, Operation, std::less<>> methods{
      {"systemInfo", [](ServiceState&, const EncodableMap&) { return system::systemInfo(); }},
      {"memoryInfo", [](ServiceState&, const EncodableMap&) { return system::memoryReport(); }},
      {"optimizeMemory",
       [](ServiceState&, const EncodableMap&) { return system::optimizeMemory(); }},
      {"scanJunk", [](ServiceState& state, const EncodableMap&) { return scanJunk(state); }},
      {"sizeOf",
       [](ServiceState& state, const EncodableMap& args) {
         return sizeOf(state, win::toUtf16(sizeOfPathArgument(args)));
       }},
  };
  return methods;
}

}  // namespace

BackgroundReply runBackgroundMethod(ServiceState& state, const std::string& method,
                                    const EncodableMap& args) {
  const auto& methods = backgroundMethods();
  const auto found = methods.find(method);
  if (found == methods.end()) return {};
  return {EncodableValue(found->second(state, args)), true};
}

}  // namespace tidvale
