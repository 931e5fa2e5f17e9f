#pragma once
// The walk of walker.h with its folders listed by a small pool of threads. Listing folders on a
// warm cache costs processor time, and separate folders can be listed at once; the entries still
// reach the visitor one at a time, on the caller's thread, in exactly the order walkTree gives
// them, so every reply built from a walk is the same for any number of threads.
//
// Listers work ahead of the visitor, soonest-needed folder first (depth-first order of the
// paths, never the order listings happen to finish). Memory stays bounded: the queue holds the
// paths of folders still to list, and listers stop while a fixed number of listed folders wait
// for the visitor; a folder's listing is read a bounded chunk at a time.

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

#include "fs/file_system.h"
#include "fs/walker.h"

namespace tidvale::fs {

// Whether the walk enters a folder entry. Called from any of the walk's threads, several at once,
// before the entry is visited: it must decide from the entry alone and change nothing shared.
using EnterRule = std::function<bool(const DirEntry& entry, EntryKind kind)>;

// Called for every entry below the root, in walkTree's order, on the caller's thread.
using EntryVisitor = std::function<void(const WalkEntry&)>;

// How many threads a walk lists folders with: TIDVALE_WALK_THREADS when it holds a positive
// number, else one per processor; at least 1. setWalkThreadCount overrides both.
size_t walkThreadCount();

// The default above, from the variable's text (null when unset) and the processor count: a
// positive decimal number is taken as it is, anything else gives the processor count; at least
// 1, at most 64.
size_t defaultWalkThreadCount(const char* variable, size_t processors);

// For tests and benchmarks: walks use `threads` threads from now on (0: the default again).
void setWalkThreadCount(size_t threads);

// setWalkThreadCount(threads) while it lives, then the default again. Tests and benchmarks.
class ScopedWalkThreadCount {
 public:
  explicit ScopedWalkThreadCount(size_t threads) { setWalkThreadCount(threads); }
  ~ScopedWalkThreadCount() { setWalkThreadCount(0); }
  ScopedWalkThreadCount(const ScopedWalkThreadCount&) = delete;
  ScopedWalkThreadCount& operator=(const ScopedWalkThreadCount&) = delete;
};

// walkTree(fileSystem, root, cancel, visit-then-enter), with folders listed on `threads` threads
// (the caller's among them; 1 lists every folder on the caller's thread, as walkTree does).
// A folder is entered when `enter` says so and it is a plain folder whose name holds no
// separator; links are never entered. `cancel` is read before every entry visited and every
// entry listed, so a cancel is seen within one folder's listing. Helper threads are started only
// once two folders wait to be listed, and all have ended when this returns.
WalkOutcome walkTreeInOrder(FileSystem& fileSystem, const std::wstring& root,
                            const std::atomic<bool>& cancel, const EnterRule& enter,
                            const EntryVisitor& visit, size_t threads = walkThreadCount());

}  // namespace tidvale::fs
