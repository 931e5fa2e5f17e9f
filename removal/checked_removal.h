#pragma once
// Removing one path for good, true to what it names: the path is resolved from its volume root
// (fs::PathResolver), what it names is measured through the held folders (a folder holding a
// protected one is refused whole), and it is removed through those same handles, never through
// the path's text again. What is credited is read through them too: what was measured, less what
// a read after the removal still finds. Used by the deletion routine for every path and by the
// purge for the Recycle Bin item it removes. Removals spread their files over a pool of threads
// (the system's per-call cost, not the disk, bounds the removal of many small files); the object
// itself serves one thread. Never throws beyond allocation.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/task_pool.h"
#include "fs/file_system.h"
#include "fs/path_resolver.h"
#include "removal/measured_tree.h"

namespace tidvale {

enum class TargetOutcome {
  Found,
  Missing,  // nothing is there, by both the walk down and a plain status of the path
  Refused,  // not removable: see fs::Refusal, or a folder below it is protected or unreadable
};

struct MeasuredTarget {
  fs::ResolvedEntry entry;
  int64_t size = 0;                    // bytes before anything was removed
  std::optional<MeasuredTree> folder;  // what was measured below a folder target
};

struct RemovalCredit {
  bool gone = false;  // a read after the removal found no entry at the name
  int64_t freed = 0;  // at most the measured size
};

// What a removal did, before a read confirms that the entry is gone.
struct RemovalAct {
  bool wasThere = true;   // false: the entry had gone before the removal came to it
  int64_t remaining = 0;  // measured bytes still there, read through the held handles
};

// The credit for `act` on `target` once a read has shown whether the entry is gone: all that was
// measured when it is, what went of it when it is not, nothing when it had gone already.
RemovalCredit creditOf(const MeasuredTarget& target, const RemovalAct& act, bool gone);

// The threads a removal spreads its work over: two per processor, at most 8. They mostly wait on
// the system's answers (each removal is a few calls that touch no file data), so more threads than
// processors keep the system busy.
size_t removalWorkerCount();

class CheckedRemoval {
 public:
  // `pinTheWay`: see fs::PathResolver. `workers`: the threads a removal spreads its files over,
  // the caller's among them.
  CheckedRemoval(fs::FileSystem& fileSystem, std::set<fs::FileId> protectedIds,
                 bool pinTheWay = false, size_t workers = removalWorkerCount());

  fs::PathResolver& resolver() { return resolver_; }

  // Resolves `path` and measures what it names: a folder's files, a file's listed length, 0 for a
  // link. Found fills `target`.
  TargetOutcome measure(const std::wstring& path, MeasuredTarget& target);

  // The two halves of measure(): what `path` names (Found fills `target.entry`), then its measure
  // (Found, or Refused for a folder that holds a protected or unreadable one).
  TargetOutcome resolve(const std::wstring& path, MeasuredTarget& target);
  TargetOutcome measureResolved(MeasuredTarget& target);

  // Removes the measured target through what its resolution holds: a folder with everything that
  // was measured in it, anything else as itself. Gone only when a read of its folder after the
  // removal no longer finds the name. An entry that was no longer there to remove frees nothing.
  RemovalCredit remove(MeasuredTarget& target);

  // The removal alone, for a caller that confirms several entries of one folder with one read
  // (see stillListedNames); the folder target is let go, which completes its removal.
  RemovalAct act(MeasuredTarget& target);

  // act() on each of `targets` (distinct entries), the files and links among them at once on the
  // pool's threads, the folders after them one by one. The acts in the targets' order.
  std::vector<RemovalAct> actOnEach(const std::vector<MeasuredTarget*>& targets);

 private:
  fs::FileSystem& fileSystem_;
  fs::PathResolver resolver_;
  TaskPool pool_;
};

// Whether the held folder `parent` still shows the entry `name` (a name as its listing gave it):
// true also when the folder cannot be read, since only a read that finds nothing proves the
// entry gone.
bool stillListed(fs::HeldFolder& parent, const std::wstring& name);

// For each of `names` (as the folder's listing gave them), whether the held folder still shows
// it: one read of the whole folder for them all, or a lookup when there is only one.
std::vector<bool> stillListedNames(fs::HeldFolder& parent, const std::vector<std::wstring>& names);

}  // namespace tidvale
