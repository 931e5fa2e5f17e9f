#include "removal/deletion.h"

#include <cstdint>

#include "core/progress.h"
#include "core/saturating.h"
#include "removal/checked_removal.h"
#include "removal/shell_path.h"

namespace tidvale {
namespace {

constexpr char kTask[] = "delete";

class Deletion {
 public:
  explicit Deletion(const DeletionEnvironment& environment)
      : env_(environment), removal_(environment.fileSystem, environment.protectedIds) {}

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
    MeasuredTarget target;
    switch (removal_.measure(*path, target)) {
      case TargetOutcome::Missing:
        return;  // nothing there: removed, with nothing to credit
      case TargetOutcome::Refused:
        failed_.emplace_back(entry);
        return;
      case TargetOutcome::Found:
        break;
    }
    if (toTrash) {
      switch (recycle(target)) {
        case Recycled::InTrash:
          inTrash_.push_back(entry);
          inTrashBytes_ = addSize(inTrashBytes_, target.size);
          return;
        case Recycled::Freed:
          freed_ = addSize(freed_, target.size);
          return;
        case Recycled::Refused:
          failed_.push_back(entry);
          return;
        case Recycled::NotDone:
          break;  // removed permanently instead
      }
    }
    const RemovalCredit credit = removal_.remove(target);
    freed_ = addSize(freed_, credit.freed);
    if (!credit.gone) failed_.push_back(entry);
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
  enum class Recycled {
    Freed,    // in the bin and purged from it, or removed outright by the shell
    InTrash,  // in the bin, and it stays there
    Refused,  // the way to it could not be pinned: neither the shell nor a permanent removal
    NotDone,  // the shell cannot be handed the item, or it failed or left the item in place
  };

  // The shell reads the path's text. It is handed only a path that reads as the resolver read it,
  // while every folder on the way is pinned, so that none can be renamed or replaced (by a link,
  // say) before the shell has read it. The item itself may still be swapped at its own name;
  // the shell then moves whatever stands there, as itself, and a link never leads it elsewhere.
  Recycled recycle(MeasuredTarget& target) {
    const std::optional<std::wstring> shellPath = shellReadablePath(target.entry);
    if (!shellPath) return Recycled::NotDone;
    if (!target.entry.pinned) return Recycled::Refused;
    const int64_t binBefore = env_.recycleBin.bytesOnDriveOf(*shellPath);
    if (!env_.recycleBin.recycle(*shellPath)) return Recycled::NotDone;
    if (stillListed(*target.entry.parent, target.entry.listed.name)) return Recycled::NotDone;
    const int64_t binAfter = env_.recycleBin.bytesOnDriveOf(*shellPath);
    if (binAfter <= binBefore) return Recycled::Freed;  // the shell removed it outright
    return env_.recycleBin.purge(*shellPath, target.entry.listed.fileId, removal_)
               ? Recycled::Freed
               : Recycled::InTrash;
  }

  const DeletionEnvironment& env_;
  CheckedRemoval removal_;
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
