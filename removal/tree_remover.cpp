#include "removal/tree_remover.h"

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace tidvale {
namespace {

// Entries to remove as themselves, and folders listed to the end, wait until either reaches this
// many; then the entries go at once on the pool's threads, and the folders after them.
constexpr size_t kBatchEntries = 256;
// When only the caller's folder stayed (see markRootAgain), its mark is tried again after these
// waits, each twice the one before.
constexpr std::chrono::milliseconds kFirstRootRetry{10};
constexpr std::chrono::milliseconds kLastRootRetry{640};

// One folder being emptied: the listing is declared after the folder, so it is closed first.
struct OpenFolder {
  std::unique_ptr<fs::HeldFolder> folder;  // null for the caller's folder
  std::unique_ptr<fs::FolderListing> listing;
};

// A listed entry to remove as itself, through its folder.
struct EntryRemoval {
  fs::HeldFolder* folder;
  fs::DirEntry entry;
};

class Remover {
 public:
  Remover(const MeasuredTree* measured, TaskPool* pool) : measured_(measured), pool_(pool) {}

  void note(fs::FsError error) {
    if (error != fs::FsError::None && error != fs::FsError::NotFound && !result_.failed()) {
      result_.firstError = error;
    }
  }

  // Empties and removes the held folder, depth first with an explicit stack. `root` stays held by
  // the caller; the folders below it are released once they are emptied and marked.
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
        listed_.push_back(std::move(top.folder));
        stack.pop_back();
        if (listed_.size() == kBatchEntries) removeWaiting(root);
        continue;
      }
      if (measured_ && !measured_->contains(entry.fileId)) {
        note(fs::FsError::Changed);  // not what was measured: it stays
        continue;
      }
      if (!isPlainFolder(entry)) {
        entries_.push_back({&folder, std::move(entry)});
        if (entries_.size() == kBatchEntries) removeWaiting(root);
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
    removeWaiting(root);
    markRootAgain(root);
  }

  TreeRemoval result() const { return result_; }

 private:
  static bool isPlainFolder(const fs::DirEntry& entry) {
    // Any reparse point is removed as itself: only folders known to be plain are entered.
    return (entry.attributes & fs::kAttributeDirectory) != 0 &&
           (entry.attributes & fs::kAttributeReparsePoint) == 0;
  }

  // Removes the waiting entries as themselves, spread over the pool's threads (each removal is one
  // open through its folder's handle, checked against its listed id), then marks each listed
  // folder and lets it go, which completes its removal. Folders wait in the order their listings
  // ended, so each comes after everything it held. Failures are noted in that order.
  void removeWaiting(fs::HeldFolder& root) {
    std::vector<fs::FsError> errors(entries_.size());
    const auto removeOne = [&](size_t, size_t index) {
      errors[index] = entries_[index].folder->removeChild(entries_[index].entry);
    };
    if (pool_) {
      pool_->run(entries_.size(), removeOne);
    } else {
      for (size_t index = 0; index < entries_.size(); ++index) removeOne(0, index);
    }
    for (const fs::FsError error : errors) note(error);
    entries_.clear();
    for (std::unique_ptr<fs::HeldFolder>& folder : listed_) {
      const fs::FsError error = (folder ? *folder : root).removeSelf();
      if (!folder) rootError_ = error;
      note(error);
      folder.reset();
    }
    listed_.clear();
  }

  // The caller's folder is not empty although everything this removal met went: another removal
  // of the same tree still holds folders in it that it has marked, and they go when it lets them
  // go. The mark is tried again a few times, a little later each time.
  void markRootAgain(fs::HeldFolder& root) {
    for (auto wait = kFirstRootRetry;
         rootError_ == fs::FsError::NotEmpty && result_.firstError == fs::FsError::NotEmpty &&
         wait <= kLastRootRetry;
         wait *= 2) {
      std::this_thread::sleep_for(wait);
      rootError_ = root.removeSelf();
      if (rootError_ != fs::FsError::NotEmpty) {
        result_.firstError = fs::FsError::None;
        note(rootError_);
      }
    }
  }

  static void push(std::vector<OpenFolder>& stack, std::unique_ptr<fs::HeldFolder> folder) {
    // The folder lives in the stack; its listing is taken first, through the same handle.
    std::unique_ptr<fs::FolderListing> listing = folder->list();
    stack.push_back({std::move(folder), std::move(listing)});
  }

  const MeasuredTree* measured_;
  TaskPool* pool_;
  std::vector<EntryRemoval> entries_;                    // listed, waiting to be removed
  std::vector<std::unique_ptr<fs::HeldFolder>> listed_;  // listed to the end, waiting to be marked
  fs::FsError rootError_ = fs::FsError::None;
  TreeRemoval result_;
};

}  // namespace

TreeRemoval removeTree(fs::FileSystem& fileSystem, const std::wstring& path) {
  Remover remover(nullptr, nullptr);
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

TreeRemoval removeHeldTree(fs::HeldFolder& folder, const MeasuredTree* measured, TaskPool* pool) {
  Remover remover(measured, pool);
  remover.removeHeld(folder);
  return remover.result();
}

}  // namespace tidvale
