#include "removal/checked_removal.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "removal/tree_remover.h"
#include "scanners/path_walks.h"

namespace tidvale {

CheckedRemoval::CheckedRemoval(fs::FileSystem& fileSystem, std::set<fs::FileId> protectedIds)
    : fileSystem_(fileSystem), resolver_(fileSystem, std::move(protectedIds)) {}

TargetOutcome CheckedRemoval::measure(const std::wstring& path, MeasuredTarget& target) {
  target = MeasuredTarget{resolver_.resolve(path)};
  const fs::ResolvedEntry& entry = target.entry;
  if (entry.outcome == fs::ResolveOutcome::Missing) {
    // The walk down found nothing; a plain status of the path must agree, or nothing is taken
    // for removed.
    return fileSystem_.status(path, /*followLinks=*/false).outcome == fs::StatusOutcome::NotFound
               ? TargetOutcome::Missing
               : TargetOutcome::Refused;
  }
  if (!entry.found()) return TargetOutcome::Refused;
  if (entry.folder) {
    const std::optional<int64_t> size = measureHeldFolder(*entry.folder, resolver_.protectedIds());
    if (!size) return TargetOutcome::Refused;
    target.size = *size;
  } else if (!fs::isLink(fs::classifyEntry(entry.listed.attributes, entry.listed.reparseTag))) {
    target.size = std::max<int64_t>(0, entry.listed.size);
  }
  return TargetOutcome::Found;
}

RemovalCredit CheckedRemoval::remove(MeasuredTarget& target) {
  fs::ResolvedEntry& entry = target.entry;
  bool wasThere = true;
  if (entry.folder) {
    removeHeldTree(*entry.folder);
  } else {
    wasThere = entry.parent->removeChild(entry.listed) != fs::FsError::NotFound;
  }
  RemovalCredit credit;
  credit.gone = !stillListed(*entry.parent, entry.listed.name);
  if (!wasThere) return credit;  // gone before we came: nothing of ours was freed
  if (credit.gone) {
    credit.freed = target.size;
    return credit;
  }
  // What is left is read through the held folder, never looked up by name again: the name may
  // lead elsewhere by now. A file or link that is still there kept all its bytes.
  int64_t remaining = target.size;
  if (entry.folder) {
    remaining = measureHeldFolder(*entry.folder, resolver_.protectedIds()).value_or(target.size);
  }
  credit.freed = std::clamp<int64_t>(target.size - remaining, 0, target.size);
  return credit;
}

bool stillListed(fs::HeldFolder& parent, const std::wstring& name) {
  fs::DirEntry entry;
  return parent.lookup(name, entry) != fs::StatusOutcome::NotFound;
}

}  // namespace tidvale
