#include "removal/tree_remover.h"

#include <memory>
#include <vector>

namespace tidvale {
namespace {

// One folder being emptied: the listing is declared after the folder, so it is closed first.
struct OpenFolder {
  std::unique_ptr<fs::HeldFolder> folder;
  std::unique_ptr<fs::FolderListing> listing;
};

class Remover {
 public:
  void note(fs::FsError error) {
    if (error != fs::FsError::None && error != fs::FsError::NotFound && !result_.failed()) {
      result_.firstError = error;
    }
  }

  // Empties and removes the held folder, depth first with an explicit stack.
  void removeHeld(std::unique_ptr<fs::HeldFolder> root) {
    std::vector<OpenFolder> stack;
    push(stack, std::move(root));
    fs::DirEntry entry;
    while (!stack.empty()) {
      OpenFolder& top = stack.back();
      const fs::ListStep step = top.listing ? top.listing->next(entry) : fs::ListStep::Error;
      if (step != fs::ListStep::Entry) {
        if (step == fs::ListStep::Error) note(fs::FsError::Other);
        top.listing.reset();
        note(top.folder->removeSelf());
        stack.pop_back();  // releasing the folder completes its removal
        continue;
      }
      if (!isPlainFolder(entry)) {
        note(top.folder->removeChild(entry.name, entry.attributes));
        continue;
      }
      fs::Hold child = top.folder->holdChild(entry.name);
      switch (child.outcome) {
        case fs::HoldOutcome::Held:
          push(stack, std::move(child.folder));
          break;
        case fs::HoldOutcome::NotPlainFolder:
          // Replaced since it was listed (by a link, say): removed as whatever it is now.
          note(top.folder->removeChild(entry.name, entry.attributes));
          break;
        case fs::HoldOutcome::Missing:
          break;
        case fs::HoldOutcome::Failed:
          note(child.error);
          break;
      }
    }
  }

  TreeRemoval result() const { return result_; }

 private:
  static bool isPlainFolder(const fs::DirEntry& entry) {
    // Any reparse point is removed as itself: only folders known to be plain are entered.
    return (entry.attributes & fs::kAttributeDirectory) != 0 &&
           (entry.attributes & fs::kAttributeReparsePoint) == 0;
  }

  static void push(std::vector<OpenFolder>& stack, std::unique_ptr<fs::HeldFolder> folder) {
    std::unique_ptr<fs::FolderListing> listing = folder->list();
    stack.push_back({std::move(folder), std::move(listing)});
  }

  TreeRemoval result_;
};

}  // namespace

TreeRemoval removeTree(fs::FileSystem& fileSystem, const std::wstring& path) {
  Remover remover;
  fs::Hold hold = fileSystem.holdFolder(path);
  switch (hold.outcome) {
    case fs::HoldOutcome::Held:
      remover.removeHeld(std::move(hold.folder));
      break;
    case fs::HoldOutcome::NotPlainFolder:
      remover.note(fileSystem.removeEntry(path));
      break;
    case fs::HoldOutcome::Missing:
      break;
    case fs::HoldOutcome::Failed:
      remover.note(hold.error);
      break;
  }
  return remover.result();
}

TreeRemoval removeHeldTree(std::unique_ptr<fs::HeldFolder> folder) {
  Remover remover;
  remover.removeHeld(std::move(folder));
  return remover.result();
}

TreeRemoval removeHeldEntry(fs::HeldFolder& folder, const fs::DirEntry& listed) {
  Remover remover;
  remover.note(folder.removeChild(listed.name, listed.attributes));
  return remover.result();
}

}  // namespace tidvale
