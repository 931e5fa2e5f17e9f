#include "fs/walker_parallel.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "fs/path_text.h"

namespace tidvale::fs {
namespace {

// A folder's listing is read this many entries at a time: a folder of any size holds at most
// this many entries in memory, its listing staying open for the rest.
constexpr size_t kChunkEntries = 512;
// Listers stop while this many listed folders per thread wait for the visitor.
constexpr size_t kWaitingFoldersPerThread = 16;
// The most threads a walk uses, whatever the processor count or the variable say.
constexpr size_t kMostWalkThreads = 64;

std::atomic<size_t> threadCountOverride{0};

// One folder of the walk, from the moment its entry is listed until the visitor is done with it.
struct Folder {
  enum class State { Queued, Listing, Listed };

  Folder* parent = nullptr;  // alive while this folder is: the visitor leaves a parent last
  uint32_t depth = 0;
  uint64_t position = 0;  // the index of its entry in the parent's listing
  std::wstring path;      // as the walk names it
  State state = State::Listing;
  bool opened = false;
  bool waitsForVisitor = false;  // listed ahead, counted in the walk's waiting folders

  // The current chunk of the listing: entries from `base` on, and for each the folder to enter
  // (null for an entry that is not entered). `rest` stays open while entries remain.
  uint64_t base = 0;
  std::vector<DirEntry> entries;
  std::vector<std::unique_ptr<Folder>> children;
  std::unique_ptr<FolderListing> rest;

  void release() {
    std::vector<DirEntry>().swap(entries);
    std::vector<std::unique_ptr<Folder>>().swap(children);
    rest.reset();
  }
};

// Depth-first order of two folders that are not inside one another: the order their entries
// come in below the nearest folder holding both.
struct VisitOrder {
  bool operator()(const Folder* a, const Folder* b) const {
    while (a->depth > b->depth) a = a->parent;
    while (b->depth > a->depth) b = b->parent;
    while (a->parent != b->parent) {
      a = a->parent;
      b = b->parent;
    }
    return a->position < b->position;
  }
};

class ParallelWalk {
 public:
  ParallelWalk(FileSystem& fileSystem, const std::atomic<bool>& cancel, const EnterRule& enter,
               size_t threads)
      : fileSystem_(fileSystem),
        cancel_(cancel),
        enter_(enter),
        threads_(std::max<size_t>(threads, 1)),
        waitingLimit_(kWaitingFoldersPerThread * threads_) {}

  ~ParallelWalk() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      stopping_ = true;
    }
    workReady_.notify_all();
    for (std::thread& helper : helpers_) helper.join();
  }

  ParallelWalk(const ParallelWalk&) = delete;
  ParallelWalk& operator=(const ParallelWalk&) = delete;

  WalkOutcome run(const std::wstring& rootPath, const EntryVisitor& visit) {
    root_ = std::make_unique<Folder>();
    root_->path = rootPath;
    list(*root_);
    if (!root_->opened) return WalkOutcome::NotStarted;
    publish(*root_);

    struct Frame {
      Folder* folder;
      size_t next;
    };
    std::vector<Frame> stack{{root_.get(), 0}};
    std::wstring path;
    while (!stack.empty()) {
      Frame& top = stack.back();
      Folder& folder = *top.folder;
      if (top.next == folder.entries.size()) {
        if (folder.rest) {
          readChunk(folder);
          publish(folder);
          top.next = 0;
        } else {
          folder.release();
          stack.pop_back();
        }
        continue;
      }
      if (cancel_.load()) return WalkOutcome::Cancelled;

      const size_t index = top.next++;
      const DirEntry& entry = folder.entries[index];
      const EntryKind kind = classifyEntry(entry.attributes, entry.reparseTag);
      const bool named = !nameHoldsSeparator(entry.name);
      path.assign(folder.path);
      if (named) {
        if (!path.empty() && !isSeparator(path.back())) path.push_back(L'\\');
        path.append(entry.name);
      }
      visit(WalkEntry{path, entry, kind, named});

      if (Folder* child = folder.children[index].get()) {
        awaitListed(*child);
        // A folder that cannot be opened is skipped; the walk goes on with its siblings.
        if (child->opened) stack.push_back({child, 0});
      }
    }
    return WalkOutcome::Finished;
  }

 private:
  // Opens the folder and reads its first chunk. No lock held; one thread at a time per folder.
  void list(Folder& folder) {
    folder.rest = fileSystem_.openFolder(folder.path);
    folder.opened = folder.rest != nullptr;
    if (folder.opened) readChunk(folder);
  }

  // Reads the next chunk of an open listing and makes a folder for every entry to enter. The
  // chunk's entries are read into the previous chunk's, so a long folder allocates no name twice.
  void readChunk(Folder& folder) {
    folder.base += folder.entries.size();
    size_t count = 0;
    while (count < kChunkEntries) {
      if (count == folder.entries.size()) folder.entries.emplace_back();
      if (cancel_.load() || folder.rest->next(folder.entries[count]) != ListStep::Entry) {
        folder.rest.reset();  // finished, cancelled, or an error ended this listing only
        break;
      }
      ++count;
    }
    folder.entries.resize(count);
    folder.children.clear();
    folder.children.resize(folder.entries.size());
    for (size_t i = 0; i < folder.entries.size(); ++i) {
      const DirEntry& listed = folder.entries[i];
      const EntryKind kind = classifyEntry(listed.attributes, listed.reparseTag);
      if (kind != EntryKind::Folder || nameHoldsSeparator(listed.name) || !enter_(listed, kind)) {
        continue;
      }
      auto child = std::make_unique<Folder>();
      child->parent = &folder;
      child->depth = folder.depth + 1;
      child->position = folder.base + i;
      child->path = joinPath(folder.path, listed.name);
      child->state = Folder::State::Queued;
      folder.children[i] = std::move(child);
    }
  }

  // Queues the folders to enter of the folder's current chunk, starting the helpers once there
  // is work for more than one thread. Called with the lock held, before the folder is marked
  // listed: from then on the visitor may release its chunk.
  void queueChildren(Folder& folder) {
    size_t added = 0;
    for (const std::unique_ptr<Folder>& child : folder.children) {
      if (child) {
        queue_.insert(child.get());
        ++added;
      }
    }
    if (added == 0) return;
    if (helpers_.empty() && threads_ > 1 && queue_.size() > 1) {
      for (size_t i = 1; i < threads_; ++i) helpers_.emplace_back([this] { helperLoop(); });
    }
    if (idleHelpers_ > 0) workReady_.notify_all();
  }

  void publish(Folder& folder) {
    std::lock_guard<std::mutex> guard(lock_);
    queueChildren(folder);
  }

  Folder* takeFirst() {
    Folder* first = *queue_.begin();
    queue_.erase(queue_.begin());
    first->state = Folder::State::Listing;
    return first;
  }

  // Lists `folder` ahead of the visitor, from the thread holding `guard`, and returns with it held.
  void listAhead(Folder& folder, std::unique_lock<std::mutex>& guard) {
    guard.unlock();
    list(folder);
    guard.lock();
    queueChildren(folder);
    folder.state = Folder::State::Listed;
    folder.waitsForVisitor = true;
    ++waiting_;
  }

  void helperLoop() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
      ++idleHelpers_;
      workReady_.wait(
          guard, [this] { return stopping_ || (!queue_.empty() && waiting_ < waitingLimit_); });
      --idleHelpers_;
      if (stopping_) return;
      listAhead(*takeFirst(), guard);
      if (visitorWaits_) folderListed_.notify_one();
    }
  }

  // The visitor's side: returns once `folder` is listed, listing it here when no helper has taken
  // it, and meanwhile listing the next queued folders rather than sitting idle.
  void awaitListed(Folder& folder) {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
      switch (folder.state) {
        case Folder::State::Listed:
          if (folder.waitsForVisitor) {
            folder.waitsForVisitor = false;
            --waiting_;
            if (idleHelpers_ > 0 && !queue_.empty()) workReady_.notify_one();
          }
          return;
        case Folder::State::Queued: {
          queue_.erase(&folder);
          folder.state = Folder::State::Listing;
          guard.unlock();
          list(folder);
          guard.lock();
          queueChildren(folder);
          folder.state = Folder::State::Listed;
          return;
        }
        case Folder::State::Listing:
          break;
      }
      if (!queue_.empty() && waiting_ < waitingLimit_) {
        listAhead(*takeFirst(), guard);
        continue;
      }
      visitorWaits_ = true;
      folderListed_.wait(guard);
      visitorWaits_ = false;
    }
  }

  FileSystem& fileSystem_;
  const std::atomic<bool>& cancel_;
  const EnterRule& enter_;
  const size_t threads_;
  const size_t waitingLimit_;
  std::unique_ptr<Folder> root_;

  std::mutex lock_;
  std::condition_variable workReady_;
  std::condition_variable folderListed_;
  std::set<Folder*, VisitOrder> queue_;  // folders to list, soonest needed first
  size_t waiting_ = 0;                   // folders listed ahead, not yet reached by the visitor
  size_t idleHelpers_ = 0;
  bool visitorWaits_ = false;
  bool stopping_ = false;
  std::vector<std::thread> helpers_;  // declared last: joined before anything above is gone
};

}  // namespace

size_t defaultWalkThreadCount(const char* variable, size_t processors) {
  if (variable != nullptr && *variable >= '0' && *variable <= '9') {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(variable, &end, 10);
    if (*end == '\0' && value > 0) {
      return static_cast<size_t>(std::min<unsigned long long>(value, kMostWalkThreads));
    }
  }
  return std::clamp<size_t>(processors, 1, kMostWalkThreads);
}

size_t walkThreadCount() {
  if (const size_t forced = threadCountOverride.load()) return forced;
  static const size_t configured = defaultWalkThreadCount(std::getenv("TIDVALE_WALK_THREADS"),
                                                          std::thread::hardware_concurrency());
  return configured;
}

void setWalkThreadCount(size_t threads) {
  threadCountOverride.store(std::min(threads, kMostWalkThreads));
}

WalkOutcome walkTreeInOrder(FileSystem& fileSystem, const std::wstring& root,
                            const std::atomic<bool>& cancel, const EnterRule& enter,
                            const EntryVisitor& visit, size_t threads) {
  if (threads <= 1) {
    return walkTree(fileSystem, root, cancel, [&](const WalkEntry& item) {
      visit(item);
      return item.kind == EntryKind::Folder && enter(item.entry, item.kind);
    });
  }
  return ParallelWalk(fileSystem, cancel, enter, threads).run(root, visit);
}

}  // namespace tidvale::fs
