#include "removal/tree_remover.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tidvale {
namespace {

// A folder's files and links are removed in chunks of at most this many, each chunk by one thread.
constexpr size_t kChunkEntries = 32;
// At most this many pieces of work wait while a folder is listed: beyond it, the lister removes
// chunks itself before it reads on, so that a folder of a million files is never held in memory.
constexpr size_t kMostWaiting = 64;
// When only the caller's folder stayed (see markRootAgain), its mark is tried again after these
// waits, each twice the one before.
constexpr std::chrono::milliseconds kFirstRootRetry{10};
constexpr std::chrono::milliseconds kLastRootRetry{640};

// A folder being emptied. It is marked for removal and let go once its own listing has ended and
// every piece of work it gave out (chunks of its entries, its subfolders) has finished.
struct Folder {
  fs::HeldFolder* held = nullptr;
  std::unique_ptr<fs::HeldFolder> owned;  // null for the caller's folder
  std::shared_ptr<Folder> parent;         // null for the caller's folder
  size_t unfinished = 1;                  // its listing, and the work it gave out
};

// A piece of work on `folder`.
struct Work {
  enum class Kind {
    Empty,   // list the folder and hand out what it holds
    Enter,   // hold the plain folder entry of it in `entries` and empty that
    Remove,  // remove its `entries` as themselves
  };
  std::shared_ptr<Folder> folder;
  std::vector<fs::DirEntry> entries;
  Kind kind = Kind::Remove;
};

// Empties a tree on any number of threads: each takes the newest piece of work (so the tree is
// gone through about depth first and few folders are held at once); a folder is listed by one,
// which hands out its subfolders and chunks of its other entries. Folders are marked after
// everything they held, so each goes when let go.
class Remover {
 public:
  Remover(const MeasuredTree* measured, TaskPool* pool) : measured_(measured), pool_(pool) {}

  void note(fs::FsError error) {
    std::lock_guard guard(lock_);
    noteLocked(error);
  }

  // Empties and removes the held folder; it stays held by the caller.
  void removeHeld(fs::HeldFolder& root) {
    auto folder = std::make_shared<Folder>();
    folder->held = &root;
    root_ = folder.get();
    queue_.push_back({std::move(folder), {}, Work::Kind::Empty});
    const auto work = [this](size_t, size_t) { workUntilDone(); };
    if (pool_) {
      pool_->run(pool_->workers(), work);
    } else {
      work(0, 0);
    }
    markRootAgain(root);
  }

  TreeRemoval result() const { return result_; }

 private:
  static bool isPlainFolder(const fs::DirEntry& entry) {
    // Any reparse point is removed as itself: only folders known to be plain are entered.
    return (entry.attributes & fs::kAttributeDirectory) != 0 &&
           (entry.attributes & fs::kAttributeReparsePoint) == 0;
  }

  void noteLocked(fs::FsError error) {
    if (error != fs::FsError::None && error != fs::FsError::NotFound && !result_.failed()) {
      result_.firstError = error;
    }
  }

  void workUntilDone() {
    std::unique_lock guard(lock_);
    for (;;) {
      changed_.wait(guard, [this] { return !queue_.empty() || busy_ == 0; });
      if (queue_.empty()) return;
      Work work = std::move(queue_.back());
      queue_.pop_back();
      ++busy_;
      guard.unlock();
      switch (work.kind) {
        case Work::Kind::Empty:
          empty(std::move(work.folder));
          break;
        case Work::Kind::Enter:
          enter(std::move(work.folder), work.entries.front());
          break;
        case Work::Kind::Remove:
          removeEntries(std::move(work));
          break;
      }
      guard.lock();
      if (--busy_ == 0 && queue_.empty()) changed_.notify_all();
    }
  }

  void removeEntries(Work work) {
    for (const fs::DirEntry& entry : work.entries) note(work.folder->held->removeChild(entry));
    finish(std::move(work.folder));
  }

  // While too much waits, removes the newest chunks here (never a folder: emptying one here would
  // nest listings as deep as the tree).
  void removeWhileTooMuchWaits() {
    for (;;) {
      Work work;
      {
        std::lock_guard guard(lock_);
        if (queue_.size() <= kMostWaiting || queue_.back().kind != Work::Kind::Remove) return;
        work = std::move(queue_.back());
        queue_.pop_back();
      }
      removeEntries(std::move(work));
    }
  }

  void handOut(Work work) {
    {
      std::lock_guard guard(lock_);
      ++work.folder->unfinished;
      queue_.push_back(std::move(work));
    }
    changed_.notify_one();
  }

  // Holds the subfolder `entry` of `parent` and empties it; anything else than a plain folder by
  // now goes as itself, which the id check allows only while it is still the listed entry. This
  // piece of the parent's work finishes when the subfolder has gone, or at once when it was not
  // held.
  void enter(std::shared_ptr<Folder> parent, const fs::DirEntry& entry) {
    fs::Hold child = parent->held->holdChild(entry);
    switch (child.outcome) {
      case fs::HoldOutcome::Held: {
        auto folder = std::make_shared<Folder>();
        folder->held = child.folder.get();
        folder->owned = std::move(child.folder);
        folder->parent = std::move(parent);
        empty(std::move(folder));
        return;
      }
      case fs::HoldOutcome::NotPlainFolder:
        note(parent->held->removeChild(entry));
        break;
      case fs::HoldOutcome::Missing:
        break;
      case fs::HoldOutcome::Failed:
        note(child.error);
        break;
    }
    finish(std::move(parent));
  }

  // Lists the held folder through its handle and hands out what it holds; then its listing is
  // done.
  void empty(std::shared_ptr<Folder> folder) {
    std::unique_ptr<fs::FolderListing> listing = folder->held->list();
    std::vector<fs::DirEntry> chunk;
    fs::DirEntry entry;
    fs::ListStep step = fs::ListStep::Error;
    while (listing && (step = listing->next(entry)) == fs::ListStep::Entry) {
      if (measured_ && !measured_->contains(entry.fileId)) {
        note(fs::FsError::Changed);  // not what was measured: it stays
      } else if (isPlainFolder(entry)) {
        handOut({folder, {std::move(entry)}, Work::Kind::Enter});
      } else {
        chunk.push_back(std::move(entry));
        if (chunk.size() == kChunkEntries) {
          handOut({folder, std::exchange(chunk, {}), Work::Kind::Remove});
          removeWhileTooMuchWaits();
        }
      }
    }
    listing.reset();
    if (step == fs::ListStep::Error) note(fs::FsError::Other);
    if (!chunk.empty()) handOut({folder, std::move(chunk), Work::Kind::Remove});
    finish(std::move(folder));
  }

  // One piece of the folder's work has finished. After the last, the folder is marked and let
  // go, which completes its removal, and that finishes the piece of its parent's work that it
  // was.
  void finish(std::shared_ptr<Folder> folder) {
    while (folder) {
      {
        std::lock_guard guard(lock_);
        if (--folder->unfinished > 0) return;
      }
      // Nothing else uses the folder now.
      const fs::FsError error = folder->held->removeSelf();
      folder->owned.reset();
      std::shared_ptr<Folder> parent = std::exchange(folder->parent, nullptr);
      {
        std::lock_guard guard(lock_);
        noteLocked(error);
        if (folder.get() == root_) rootError_ = error;
      }
      folder = std::move(parent);
    }
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

  const MeasuredTree* measured_;
  TaskPool* pool_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<Work> queue_;  // the newest last
  size_t busy_ = 0;          // threads working on a piece
  const Folder* root_ = nullptr;
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
