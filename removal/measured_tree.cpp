#include "removal/measured_tree.h"

#include <algorithm>
#include <memory>

#include "core/saturating.h"

namespace tidvale {

bool MeasuredTree::contains(uint64_t fileId) const {
  return std::binary_search(ids_.begin(), ids_.end(), fileId);
}

std::optional<MeasuredTree> measureHeldTree(fs::HeldFolder& folder,
                                            const std::set<fs::FileId>& protectedIds,
                                            const MeasuredTree* within) {
  // One level of the walk: the listing is declared after its folder, so it is closed first.
  struct Level {
    std::unique_ptr<fs::HeldFolder> folder;  // null for `folder` itself
    std::unique_ptr<fs::FolderListing> listing;
  };
  MeasuredTree tree;
  std::vector<Level> stack;
  stack.push_back({nullptr, folder.list()});
  fs::DirEntry entry;
  while (!stack.empty()) {
    Level& top = stack.back();
    if (!top.listing || top.listing->next(entry) != fs::ListStep::Entry) {
      stack.pop_back();
      continue;
    }
    if (within && !within->contains(entry.fileId)) continue;
    tree.ids_.push_back(entry.fileId);
    switch (fs::classifyEntry(entry.attributes, entry.reparseTag)) {
      case fs::EntryKind::File:
        tree.bytes_ = addSize(tree.bytes_, entry.size);
        break;
      case fs::EntryKind::Folder: {
        fs::Hold child = (top.folder ? *top.folder : folder).passChild(entry);
        if (child.outcome != fs::HoldOutcome::Held) break;
        const std::optional<fs::FileId> id = child.folder->identity();
        if (!id || protectedIds.contains(*id)) return std::nullopt;
        std::unique_ptr<fs::FolderListing> listing = child.folder->list();
        stack.push_back({std::move(child.folder), std::move(listing)});
        break;
      }
      case fs::EntryKind::Symlink:
      case fs::EntryKind::Junction:
      case fs::EntryKind::OtherLink:
        break;
    }
  }
  std::sort(tree.ids_.begin(), tree.ids_.end());
  return tree;
}

}  // namespace tidvale
