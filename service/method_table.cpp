#include "service/method_table.h"

#include <functional>
#include <map>

#include "removal/delete_items.h"
#include "scanners/junk_scan.h"
#include "scanners/size_of.h"
#include "scanners/storage_scans.h"
#include "service/method_arguments.h"
#include "software/installed_apps.h"
#include "software/leftovers.h"
#include "software/startup_changes.h"
#include "software/startup_items.h"
#include "software/uninstall_app.h"
#include "system/memory_optimizer.h"
#include "system/memory_report.h"
#include "system/system_summary.h"
#include "win/known_folder.h"
#include "win/text.h"

namespace tidvale {
namespace {

using Operation = std::function<EncodableMap(ServiceState&, const EncodableMap&)>;

std::string homeFolderUtf8() {
  return win::toUtf8(win::homeFolder());
}

// Adding a method: read its arguments (service/method_arguments.h) and call its operation.
const std::map<std::string, Operation, std::less<>>& backgroundMethods() {
  static const std::map<std::string, Operation, std::less<>> methods{
      {"deleteItems",
       [](ServiceState& state, const EncodableMap& args) {
         const DeleteArguments arguments = deleteArguments(args);
         return deleteItems(state, arguments.paths, arguments.toTrash);
       }},
      {"emptyTrash", [](ServiceState& state, const EncodableMap&) { return emptyTrash(state); }},
      {"systemInfo", [](ServiceState&, const EncodableMap&) { return system::systemInfo(); }},
      {"memoryInfo", [](ServiceState&, const EncodableMap&) { return system::memoryReport(); }},
      {"optimizeMemory",
       [](ServiceState&, const EncodableMap&) { return system::optimizeMemory(); }},
      {"scanJunk", [](ServiceState& state, const EncodableMap&) { return scanJunk(state); }},
      {"scanLargeFiles",
       [](ServiceState& state, const EncodableMap& args) {
         const RootScanArguments scan = largeFileArguments(args, homeFolderUtf8);
         return scanLargeFiles(state, scan.root, scan.minSize);
       }},
      {"scanDuplicates",
       [](ServiceState& state, const EncodableMap& args) {
         const RootScanArguments scan = duplicateArguments(args, homeFolderUtf8);
         return scanDuplicates(state, scan.root, scan.minSize);
       }},
      {"analyzeDisk",
       [](ServiceState& state, const EncodableMap& args) {
         const DiskArguments disk = diskArguments(args, homeFolderUtf8);
         return analyzeDisk(state, disk.path, disk.depth);
       }},
      {"sizeOf",
       [](ServiceState& state, const EncodableMap& args) {
         // A path that names nothing measures 0.
         return sizeOf(state, win::pathFromUtf8(sizeOfPathArgument(args)).value_or(L""));
       }},
      {"listApps",
       [](ServiceState& state, const EncodableMap&) { return software::listApps(state); }},
      {"appLeftovers",
       [](ServiceState& state, const EncodableMap& args) {
         const auto [name, publisher] = leftoverArguments(args);
         return software::appLeftovers(state, name, publisher);
       }},
      {"uninstallApp",
       [](ServiceState& state, const EncodableMap& args) {
         auto [command, regKey, paths, toTrash] = uninstallArguments(args);
         return software::uninstallApp(
             state, {std::move(command), std::move(regKey), std::move(paths), toTrash});
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
