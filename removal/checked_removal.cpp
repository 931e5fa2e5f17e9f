#include "removal/checked_removal.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_set>
#include <utility>

#include "removal/tree_remover.h"

namespace tidvale {

namespace {

constexpr size_t kRemovalWorkersPerProcessor = 2;
constexpr size_t kMostRemovalWorkers = 8;

}  // namespace

size_t removalWorkerCount() {
  const size_t processors = std::max<size_t>(std::thread::hardware_concurrency(), 1);
  return std::min(processors * kRemovalWorkersPerProcessor, kMostRemovalWorkers);
}

CheckedRemoval::CheckedRemoval(fs::FileSystem& fileSystem, std::set<fs::FileId> protectedIds,
                               bool pinTheWay, size_t workers)
    : fileSystem_(fileSystem),
      resolver_(fileSystem, std::move(protectedIds), pinTheWay),
      pool_(workers) {}

TargetOutcome CheckedRemoval::measure(const std::wstring& path, MeasuredTarget& target) {
  const TargetOutcome outcome = resolve(path, target);
  return outcome == TargetOutcome::Found ? measureResolved(target) : outcome;
}

TargetOutcome CheckedRemoval::resolve(const std::wstring& path, MeasuredTarget& target) {
  target = MeasuredTarget{resolver_.resolve(path), 0, std::nullopt};
  const fs::ResolvedEntry& entry = target.entry;
  if (entry.outcome == fs::ResolveOutcome::Missing) {
    // The walk down found nothing; a plain status of the path must agree, or nothing is taken
    // for removed.
    return fileSystem_.status(path, /*followLinks=*/false).outcome == fs::StatusOutcome::NotFound
               ? TargetOutcome::Missing
               : TargetOutcome::Refused;
  }
  return entry.found() ? TargetOutcome::Found : TargetOutcome::Refused;
}

TargetOutcome CheckedRemoval::measureResolved(MeasuredTarget& target) {
  const fs::ResolvedEntry& entry = target.entry;
  if (entry.folder) {
    target.folder = measureHeldTree(*entry.folder, resolver_.protectedIds());
    if (!target.folder) return TargetOutcome::Refused;
    target.size = target.folder->bytes();
  } else if (!fs::isLink(fs::classifyEntry(entry.listed.attributes, entry.listed.reparseTag))) {
    target.size = std::max<int64_t>(0, entry.listed.size);
  }
  return TargetOutcome::Found;
}

RemovalCredit CheckedRemoval::remove(MeasuredTarget& target) {
  const RemovalAct done = act(target);
  return creditOf(target, done, !stillListed(*target.entry.parent, target.entry.listed.name));
}

RemovalAct CheckedRemoval::act(MeasuredTarget& target) {
  fs::ResolvedEntry& entry = target.entry;
  RemovalAct done;
  if (!entry.folder) {
    // A file or link that is still there after this kept all its bytes.
    done.wasThere = entry.parent->removeChild(entry.listed) != fs::FsError::NotFound;
    done.remaining = target.size;
    return done;
  }
  // What is left of a folder is read through its held handle, never looked up by name again (the
  // name may lead elsewhere by now), and before the handle is let go, which completes its
  // removal.
  if (removeHeldTree(*entry.folder, &*target.folder, &pool_).failed()) {
    const std::optional<MeasuredTree> left =
        measureHeldTree(*entry.folder, resolver_.protectedIds(), &*target.folder);
    done.remaining = left ? left->bytes() : target.size;
  }
  entry.folder.reset();
  return done;
}

std::vector<RemovalAct> CheckedRemoval::actOnEach(const std::vector<MeasuredTarget*>& targets) {
  std::vector<RemovalAct> acts(targets.size());
  std::vector<size_t> entries;
  std::vector<size_t> folders;
  for (size_t index = 0; index < targets.size(); ++index) {
    (targets[index]->entry.folder ? folders : entries).push_back(index);
  }
  pool_.run(entries.size(),
            [&](size_t, size_t job) { acts[entries[job]] = act(*targets[entries[job]]); });
  for (const size_t index : folders) acts[index] = act(*targets[index]);
  return acts;
}

RemovalCredit creditOf(const MeasuredTarget& target, const RemovalAct& act, bool gone) {
  RemovalCredit credit;
  credit.gone = gone;
  if (!act.wasThere) return credit;  // gone before we came: nothing of ours was freed
  credit.freed =
      gone ? target.size : std::clamp<int64_t>(target.size - act.remaining, 0, target.size);
  return credit;
}

bool stillListed(fs::HeldFolder& parent, const std::wstring& name) {
  fs::DirEntry entry;
  switch (parent.lookup(name, entry)) {
    case fs::StatusOutcome::Found:
      return true;
    case fs::StatusOutcome::NotFound:
      return false;
    case fs::StatusOutcome::Failed:
      break;  // a lookup that could not answer (Wine's drops a trailing dot when nothing matches)
  }
  // The whole listing decides, by the exact name.
  std::unique_ptr<fs::FolderListing> listing = parent.list();
  if (!listing) return true;
  fs::ListStep step;
  while ((step = listing->next(entry)) == fs::ListStep::Entry) {
    if (entry.name == name) return true;
  }
  return step == fs::ListStep::Error;
}

std::vector<bool> stillListedNames(fs::HeldFolder& parent, const std::vector<std::wstring>& names) {
  if (names.size() == 1) return {stillListed(parent, names.front())};
  std::unordered_set<std::wstring> listed;
  std::unique_ptr<fs::FolderListing> listing = parent.list();
  fs::DirEntry entry;
  fs::ListStep step = fs::ListStep::Error;
  while (listing && (step = listing->next(entry)) == fs::ListStep::Entry) {
    listed.insert(std::move(entry.name));
  }
  std::vector<bool> still;
  for (const std::wstring& name : names) {
    still.push_back(step != fs::ListStep::End || listed.contains(name));
  }
  return still;
}

}  // namespace tidvale
