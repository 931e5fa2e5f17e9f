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
  explicit Remover(const MeasuredTree* measured = nullptr) : measured_(measured) {}

  void note(fs::FsError error) {
    if (error != fs::FsError::None && error != fs::FsError::NotFound && !result_.failed()) {
      result_.firstError = error;
    }
  }

  // Empties and removes the held folder, depth first with an explicit stack. `root` stays held by
  // the caller; the folders below it are released as soon as they are emptied.
  void removeHeld(fs::HeldFolder& root) {
    std::vector<OpenFolder> stack;
    stack.push_back({nullptr, root.list()});
    fs::DirEntry entry;
    while (!stack.empty()) {
      OpenFolder& top = stack.back();
      fs::HeldFolder& folder = top.folder ? *top.folder : root;
      const fs::ListStep step = top.listing ? top.listing->next(entry) : fs::ListStep::Error;
      if (step != fs::ListStep::Entry) {
        if (step == fs::ListStep::Error) note(fs::FsError::Other);
        top.listing.reset();
        note(folder.removeSelf());
        stack.pop_back();  // releasing the folder completes its removal
        continue;
      }
      if (measured_ && !measured_->contains(entry.fileId)) {
        note(fs::FsError::Changed);  // not what was measured: it stays
        continue;
      }
      if (!isPlainFolder(entry)) {
        note(folder.removeChild(entry));
        continue;
      }
      fs::Hold child = folder.holdChild(entry);
      switch (child.outcome) {
        case fs::HoldOutcome::Held:
          push(stack, std::move(child.folder));
          break;
        case fs::HoldOutcome::NotPlainFolder:
          // Shown as a plain folder through its handle only when it is the listed one (the id
          // check); a reparse point since: removed as itself, which the same check allows only
          // when it is still the listed entry.
          note(folder.removeChild(entry));
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
    // The folder lives in the stack; its listing is taken first, through the same handle.
    std::unique_ptr<fs::FolderListing> listing = folder->list();
    stack.push_back({std::move(folder), std::move(listing)});
  }

  const MeasuredTree* measured_;
  TreeRemoval result_;
};

}  // namespace

TreeRemoval removeTree(fs::FileSystem& fileSystem, const std::wstring& path) {
  Remover remover;
  fs::Hold hold = fileSystem.holdFolder(path);
  switch (hold.outcome) {
    case fs::HoldOutcome::Held:
      remover.removeHeld(*hold.folder);
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

TreeRemoval removeHeldTree(fs::HeldFolder& folder, const MeasuredTree* measured) {
  Remover remover(measured);
  remover.removeHeld(folder);
  return remover.result();
}

}  // namespace tidvale
