#include "removal/deletion.h"

#include <algorithm>
#include <cstdint>

#include "core/progress.h"
#include "core/saturating.h"
#include "removal/shell_path.h"
#include "removal/tree_remover.h"
#include "scanners/path_walks.h"

namespace tidvale {
namespace {

constexpr char kTask[] = "delete";

class Deletion {
 public:
  explicit Deletion(const DeletionEnvironment& environment)
      : env_(environment), resolver_(environment.fileSystem, environment.protectedIds) {}

  void emptyRecycleBins() {
    const EmptyBinsResult emptied = env_.recycleBin.emptyAll();
    if (emptied.succeeded) {
      freed_ = addSize(freed_, emptied.bytesBefore);
    } else {
      failed_.emplace_back(kRecycleBinPseudoPath);
    }
  }

  void removeEntry(const std::string& entry, bool toTrash) {
    const std::optional<std::wstring> path = env_.pathOf(entry);
    if (!path || refusesRemoval(env_.guard, *path)) {
      failed_.emplace_back(entry);
      return;
    }
    fs::ResolvedEntry target = resolver_.resolve(*path);
    if (target.outcome == fs::ResolveOutcome::Missing && reallyMissing(*path)) {
      return;  // nothing there: removed, with nothing to credit
    }
    // A folder holding a protected one under a name no text check can tell is refused whole.
    const std::optional<int64_t> size = target.found() ? sizeOf(target) : std::nullopt;
    if (!size) {
      failed_.emplace_back(entry);
      return;
    }
    if (toTrash && recycle(entry, target, *size)) return;
    removePermanently(entry, target, *size);
  }

  EncodableMap reply() const {
    EncodableList failed;
    for (const std::string& entry : failed_) failed.emplace_back(entry);
    EncodableList inTrash;
    for (const std::string& entry : inTrash_) inTrash.emplace_back(entry);
    return EncodableMap{
        {EncodableValue("freed"), EncodableValue(freed_)},
        {EncodableValue("failed"), EncodableValue(std::move(failed))},
        {EncodableValue("inTrash"), EncodableValue(std::move(inTrash))},
        {EncodableValue("inTrashBytes"), EncodableValue(inTrashBytes_)},
    };
  }

  int64_t freed() const { return freed_; }

 private:
  // A path the walk down found nothing at is missing only when a plain status of the path agrees:
  // an answer the two readings differ on is never taken for a removal.
  bool reallyMissing(const std::wstring& path) {
    return env_.fileSystem.status(path, /*followLinks=*/false).outcome ==
           fs::StatusOutcome::NotFound;
  }

  // False when the item must be removed permanently instead: the shell cannot be handed a path it
  // reads as the resolver did, or it failed, was aborted, or left the entry in place.
  bool recycle(const std::string& entry, const fs::ResolvedEntry& target, int64_t size) {
    const std::optional<std::wstring> shellPath = shellReadablePath(target);
    if (!shellPath) return false;
    const int64_t binBefore = env_.recycleBin.bytesOnDriveOf(*shellPath);
    if (!env_.recycleBin.recycle(*shellPath) || stillThere(target)) return false;
    const int64_t binAfter = env_.recycleBin.bytesOnDriveOf(*shellPath);
    if (binAfter > binBefore && !env_.recycleBin.purge(*shellPath, resolver_)) {
      inTrash_.push_back(entry);
      inTrashBytes_ = addSize(inTrashBytes_, size);
    } else {
      // The bin did not grow (the shell removed the item outright) or the purge freed it.
      freed_ = addSize(freed_, size);
    }
    return true;
  }

  // Removed through the folders the resolver holds: a folder with everything in it, anything
  // else as itself. Read-only entries, the item itself included, are cleared through their own
  // handles, never through a link. What remains after a partial removal is measured again,
  // completely, and only what went is credited.
  void removePermanently(const std::string& entry, fs::ResolvedEntry& target, int64_t size) {
    if (target.folder) {
      removeHeldTree(std::move(target.folder));
    } else {
      removeHeldEntry(*target.parent, target.listed);
    }
    if (!stillThere(target)) {
      freed_ = addSize(freed_, size);
      return;
    }
    freed_ = addSize(freed_, std::max<int64_t>(0, size - remainingSize(target)));
    failed_.push_back(entry);
  }

  // The bytes of the resolved entry, measured through what the resolver holds: a folder's files,
  // a file's listed length, 0 for a link. Nothing for a folder that holds a protected one.
  std::optional<int64_t> sizeOf(const fs::ResolvedEntry& target) {
    if (target.folder) return measureHeldFolder(*target.folder, resolver_.protectedIds());
    if (fs::isLink(fs::classifyEntry(target.listed.attributes, target.listed.reparseTag))) return 0;
    return std::max<int64_t>(0, target.listed.size);
  }

  // What is left of the entry after a removal that failed, reached again through its folder.
  int64_t remainingSize(const fs::ResolvedEntry& target) {
    fs::ResolvedEntry left;
    left.outcome = fs::ResolveOutcome::Found;
    if (target.parent->lookup(target.listed.name, left.listed) != fs::StatusOutcome::Found) return 0;
    if (fs::isPlainFolderEntry(left.listed)) {
      fs::Hold folder = target.parent->passChild(left.listed.name);
      if (folder.outcome != fs::HoldOutcome::Held) return 0;
      left.folder = std::move(folder.folder);
    }
    return sizeOf(left).value_or(0);
  }

  // Asked of the folder that holds the entry; a status that cannot be read counts as absent.
  static bool stillThere(const fs::ResolvedEntry& target) {
    fs::DirEntry entry;
    return target.parent->lookup(target.listed.name, entry) == fs::StatusOutcome::Found;
  }

  const DeletionEnvironment& env_;
  fs::PathResolver resolver_;
  int64_t freed_ = 0;
  int64_t inTrashBytes_ = 0;
  std::vector<std::string> failed_;
  std::vector<std::string> inTrash_;
};

}  // namespace

EncodableMap runDeletion(ServiceState& state, const DeletionEnvironment& environment,
                         const std::vector<std::string>& entries, bool toTrash) {
  Deletion deletion(environment);
  uint64_t itemNumber = 0;
  for (const std::string& entry : entries) {
    ++itemNumber;
    if (entry == kRecycleBinPseudoPath) {
      deletion.emptyRecycleBins();
      continue;
    }
    deletion.removeEntry(entry, toTrash);
    emitProgress(state, kTask, entry, itemNumber, static_cast<uint64_t>(deletion.freed()), false);
  }
  emitProgress(state, kTask, "", entries.size(), static_cast<uint64_t>(deletion.freed()), true);
  return deletion.reply();
}

}  // namespace tidvale
