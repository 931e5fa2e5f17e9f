#include "removal/checked_removal.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "removal/tree_remover.h"

namespace tidvale {

CheckedRemoval::CheckedRemoval(fs::FileSystem& fileSystem, std::set<fs::FileId> protectedIds)
    : fileSystem_(fileSystem), resolver_(fileSystem, std::move(protectedIds)) {}

TargetOutcome CheckedRemoval::measure(const std::wstring& path, MeasuredTarget& target) {
  target = MeasuredTarget{resolver_.resolve(path), 0, std::nullopt};
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
    target.folder = measureHeldTree(*entry.folder, resolver_.protectedIds());
    if (!target.folder) return TargetOutcome::Refused;
    target.size = target.folder->bytes();
  } else if (!fs::isLink(fs::classifyEntry(entry.listed.attributes, entry.listed.reparseTag))) {
    target.size = std::max<int64_t>(0, entry.listed.size);
  }
  return TargetOutcome::Found;
}

RemovalCredit CheckedRemoval::remove(MeasuredTarget& target) {
  fs::ResolvedEntry& entry = target.entry;
  bool wasThere = true;
  // What is left of a folder is read through its held handle, never looked up by name again (the
  // name may lead elsewhere by now), and before the handle is let go, which completes its
  // removal. A file or link that is still there kept all its bytes.
  int64_t remaining = target.size;
  if (entry.folder) {
    remaining = 0;
    if (removeHeldTree(*entry.folder, &*target.folder).failed()) {
      const std::optional<MeasuredTree> left =
          measureHeldTree(*entry.folder, resolver_.protectedIds(), &*target.folder);
      remaining = left ? left->bytes() : target.size;
    }
    entry.folder.reset();
  } else {
    wasThere = entry.parent->removeChild(entry.listed) != fs::FsError::NotFound;
  }
  RemovalCredit credit;
  credit.gone = !stillListed(*entry.parent, entry.listed.name);
  if (!wasThere) return credit;  // gone before we came: nothing of ours was freed
  credit.freed =
      credit.gone ? target.size : std::clamp<int64_t>(target.size - remaining, 0, target.size);
  return credit;
}

bool stillListed(fs::HeldFolder& parent, const std::wstring& name) {
  fs::DirEntry entry;
  return parent.lookup(name, entry) != fs::StatusOutcome::NotFound;
}

}  // namespace tidvale
