#include "fs/walker.h"

#include <memory>
#include <vector>

#include "fs/extended_path.h"
#include "fs/path_text.h"

namespace tidvale::fs {
namespace {

struct OpenFolder {
  std::unique_ptr<FolderListing> listing;
  size_t folderLength;  // length of the folder's path as the walk names it
  size_t prefixLength;  // the same plus its trailing separator
};

// Appends the separator that joins a folder path to its entries' names.
size_t withSeparator(std::wstring& path) {
  if (!path.empty() && !isSeparator(path.back())) path.push_back(L'\\');
  return path.size();
}

}  // namespace

std::optional<wchar_t> driveLetterOf(std::wstring_view path) {
  if (path.starts_with(kExtendedPrefix)) path.remove_prefix(kExtendedPrefix.size());
  if (path.size() < 3 || path[1] != L':' || !isSeparator(path[2])) return std::nullopt;
  const wchar_t letter = path[0];
  if (!((letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z'))) {
    return std::nullopt;
  }
  return letter;
}

bool isVolumeRoot(std::wstring_view path) {
  if (!driveLetterOf(path)) return false;
  if (path.starts_with(kExtendedPrefix)) path.remove_prefix(kExtendedPrefix.size());
  for (const wchar_t unit : path.substr(2)) {
    if (!isSeparator(unit)) return false;
  }
  return true;
}

EntryKind classifyPath(std::wstring_view path, uint32_t attributes, uint32_t reparseTag) {
  if ((attributes & kAttributeDirectory) != 0 && isVolumeRoot(path)) return EntryKind::Folder;
  return classifyEntry(attributes, reparseTag);
}

WalkOutcome walkTree(FileSystem& fileSystem, const std::wstring& root,
                     const std::atomic<bool>& cancel, const WalkVisitor& visit) {
  std::unique_ptr<FolderListing> rootListing = fileSystem.openFolder(root);
  if (!rootListing) return WalkOutcome::NotStarted;

  // One path buffer for the whole walk: each entry's name replaces the previous one's.
  std::wstring path = root;
  std::vector<OpenFolder> stack;
  stack.push_back({std::move(rootListing), root.size(), withSeparator(path)});
  std::wstring holder;  // the holding folder's path, for a name that no path can name
  DirEntry entry;

  while (!stack.empty()) {
    OpenFolder& top = stack.back();
    if (top.listing->next(entry) != ListStep::Entry) {
      stack.pop_back();  // finished, or an error ended this folder's listing only
      continue;
    }
    if (cancel.load()) return WalkOutcome::Cancelled;

    const EntryKind kind = classifyEntry(entry.attributes, entry.reparseTag);
    if (nameHoldsSeparator(entry.name)) {
      holder.assign(path, 0, top.folderLength);
      visit(WalkEntry{holder, entry, kind, /*pathNamesEntry=*/false});
      continue;
    }
    path.resize(top.prefixLength);
    path.append(entry.name);
    const bool enter = visit(WalkEntry{path, entry, kind});
    if (!enter || kind != EntryKind::Folder) continue;

    // A folder that cannot be opened is skipped; the walk goes on with its siblings.
    if (std::unique_ptr<FolderListing> child = fileSystem.openFolder(path)) {
      const size_t folderLength = path.size();
      stack.push_back({std::move(child), folderLength, withSeparator(path)});
    }
  }
  return WalkOutcome::Finished;
}

}  // namespace tidvale::fs
