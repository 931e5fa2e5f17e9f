#include "software/uninstall_app.h"

#include "removal/delete_items.h"
#include "software/uninstall_entries.h"
#include "software/uninstaller.h"
#include "win/text.h"

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

// The reply of a deletion that removed none of `paths`.
EncodableMap withLeftoversKept(EncodableMap reply, const std::vector<std::string>& paths) {
  EncodableList failed;
  for (const auto& path : paths) failed.emplace_back(path);
  reply[kFreed] = EncodableValue(int64_t{0});
  reply[kFailed] = EncodableValue(std::move(failed));
  reply[EncodableValue("inTrash")] = EncodableValue(EncodableList{});
  reply[EncodableValue("inTrashBytes")] = EncodableValue(int64_t{0});
  return reply;
}

}  // namespace

EncodableMap uninstallApp(ServiceState& state, const UninstallRequest& request) {
  // A key name holding U+0000 would be looked up as the text before it, another entry.
  if (request.regKey.find('\0') != std::string::npos) {
    return withNothingDeleted(
        EncodableMap{{kOk, EncodableValue(false)}, {kError, EncodableValue(kLaunchFailedError)}});
  }
  EncodableMap reply;
  if (!request.command.empty()) {
    // Read while the entry is still there: the uninstaller removes it.
    const std::wstring displayName = displayNameOfEntry(win::toUtf16(request.regKey));
    reply = launchUninstaller(rewriteMsiCommand(request.command));
    if (!std::get<bool>(reply[kOk])) return withNothingDeleted(std::move(reply));
    if (!request.regKey.empty() && waitUntilUninstalled(state, request.regKey)) {
      reply[kOk] = EncodableValue(false);
      reply[kError] = EncodableValue(kStillInstalledError);
      return withNothingDeleted(std::move(reply));
    }
    // Another installation of the same application (for the machine and for the user) still
    // uses the data folders that were found by its name.
    if (!displayName.empty() && isDisplayNameRegistered(displayName)) {
      return withLeftoversKept(std::move(reply), request.paths);
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
