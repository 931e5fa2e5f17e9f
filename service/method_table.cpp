#include "service/method_table.h"

#include <functional>
#include <map>

#include "scanners/junk_scan.h"
#include "scanners/size_of.h"
#include "service/method_arguments.h"
#include "software/installed_apps.h"
#include "software/leftovers.h"
#include "software/startup_changes.h"
#include "software/startup_items.h"
#include "win/text.h"

namespace tidvale {
namespace {

using Operation = std::function<EncodableMap(ServiceState&, const EncodableMap&)>;

// Adding a method: read its arguments (service/method_arguments.h) and call its operation.
const std::map<std::string, Operation, std::less<>>& backgroundMethods() {
  static const std::map<std::string, Operation, std::less<>> methods{
      {"scanJunk", [](ServiceState& state, const EncodableMap&) { return scanJunk(state); }},
      {"sizeOf",
       [](ServiceState& state, const EncodableMap& args) {
         return sizeOf(state, win::toUtf16(sizeOfPathArgument(args)));
       }},
      {"listApps",
       [](ServiceState& state, const EncodableMap&) { return software::listApps(state); }},
      {"appLeftovers",
       [](ServiceState& state, const EncodableMap& args) {
         const auto [name, publisher] = leftoverArguments(args);
         return software::appLeftovers(state, name, publisher);
       }},
      {"listStartupItems",
       [](ServiceState&, const EncodableMap&) { return software::listStartupItems(); }},
      {"setStartupItem",
       [](ServiceState&, const EncodableMap& args) {
         const auto change = startupChangeArguments(args);
         return software::setStartupItem(change.id, change.kind, change.enabled);
       }},
      {"removeStartupItem",
       [](ServiceState&, const EncodableMap& args) {
         const auto change = startupChangeArguments(args);
         return software::removeStartupItem(change.id, change.kind);
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
