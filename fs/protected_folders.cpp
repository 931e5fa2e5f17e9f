#include "fs/protected_folders.h"

#include <memory>
#include <optional>

#include "fs/path_resolver.h"

namespace tidvale::fs {
namespace {

// Adds the identity of the root of `folder`'s final path and of each folder below it.
void addChain(FileSystem& fileSystem, const std::wstring& folder, std::set<FileId>& ids) {
  const std::optional<std::wstring> final = fileSystem.finalPath(folder);
  if (!final) return;
  const std::optional<TargetText> text = readTargetText(*final);
  if (!text) return;
  Hold hold = fileSystem.holdVolumeRoot(text->root);
  std::unique_ptr<HeldFolder> current = std::move(hold.folder);
  for (size_t i = 0; current; ++i) {
    if (const std::optional<FileId> id = current->identity()) ids.insert(*id);
    if (i == text->components.size()) break;
    DirEntry entry;
    if (current->lookup(text->components[i], entry) != StatusOutcome::Found) break;
    current = std::move(current->passChild(entry).folder);
  }
}

}  // namespace

std::set<FileId> protectedIdentities(FileSystem& fileSystem,
                                     const std::vector<std::wstring>& folders) {
  std::set<FileId> ids;
  for (const std::wstring& folder : folders) {
    if (!folder.empty()) addChain(fileSystem, folder, ids);
  }
  return ids;
}

}  // namespace tidvale::fs
