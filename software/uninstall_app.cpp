#include "software/uninstall_app.h"

#include "removal/delete_items.h"
#include "software/uninstaller.h"

namespace tidvale::software {
namespace {

const EncodableValue kOk("ok");
const EncodableValue kError("error");
const EncodableValue kFreed("freed");
const EncodableValue kFailed("failed");

// The one place the uninstall flow hands over to the deletion routine, which applies its own
// refusals (relative and protected paths) to the leftovers.
EncodableMap deleteLeftovers(ServiceState& state, const std::vector<std::string>& paths,
                             bool toTrash) {
  return deleteItems(state, paths, toTrash);
}

EncodableMap withNothingDeleted(EncodableMap reply) {
  reply[kFreed] = EncodableValue(int64_t{0});
  reply[kFailed] = EncodableValue(EncodableList{});
  return reply;
}

}  // namespace

EncodableMap uninstallApp(ServiceState& state, const UninstallRequest& request) {
  EncodableMap reply;
  if (!request.command.empty()) {
    reply = launchUninstaller(rewriteMsiCommand(request.command));
    if (!std::get<bool>(reply[kOk])) return withNothingDeleted(std::move(reply));
    if (!request.regKey.empty() && waitUntilUninstalled(state, request.regKey)) {
      reply[kOk] = EncodableValue(false);
      reply[kError] = EncodableValue(kStillInstalledError);
      return withNothingDeleted(std::move(reply));
    }
  }
  const EncodableMap deletion = deleteLeftovers(state, request.paths, request.toTrash);
  for (const char* key : {"freed", "failed", "inTrash", "inTrashBytes"}) {
    const auto found = deletion.find(EncodableValue(key));
    if (found != deletion.end()) reply[found->first] = found->second;
  }
  if (!reply.contains(kOk)) reply[kOk] = EncodableValue(true);
  return reply;
}

}  // namespace tidvale::software
