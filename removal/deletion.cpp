#include "removal/deletion.h"

#include <cstdint>
#include <optional>
#include <unordered_set>

#include "core/progress.h"
#include "core/saturating.h"
#include "removal/checked_removal.h"
#include "removal/shell_path.h"

namespace tidvale {
namespace {

constexpr char kTask[] = "delete";
// Entries of one folder that wait to be removed together, at most: their progress is reported
// only once they are confirmed gone.
constexpr size_t kMostPending = 1024;

class Deletion {
 public:
  // The way to each path is pinned only when the shell is to read it: pins would keep a
  // concurrent removal from taking those folders.
  Deletion(ServiceState& state, const DeletionEnvironment& environment, bool toTrash)
      : state_(state),
        env_(environment),
        guard_(environment.guard),
        removal_(environment.fileSystem, environment.protectedIds, /*pinTheWay=*/toTrash,
                 environment.workers) {}

  void emptyRecycleBins() {
    confirmPending();
    const EmptyBinsResult emptied = env_.recycleBin.emptyAll();
    if (emptied.succeeded) {
      freed_ = addSize(freed_, emptied.bytesBefore);
    } else {
      failed_.emplace_back(kRecycleBinPseudoPath);
    }
  }

  void removeEntry(const std::string& entry, uint64_t number, bool toTrash) {
    const std::optional<std::wstring> path = env_.pathOf(entry);
    MeasuredTarget target;
    TargetOutcome outcome = TargetOutcome::Refused;
    if (path && !guard_.refuses(*path)) {
      outcome = removal_.resolve(*path, target);
      // A folder is measured once the removals waiting before it are done: it may hold them.
      if (outcome == TargetOutcome::Found && target.entry.folder) confirmPending();
      if (outcome == TargetOutcome::Found) outcome = removal_.measureResolved(target);
    }
    if (outcome == TargetOutcome::Found && !toTrash) {
      pend(entry, number, std::move(target));
      return;
    }
    confirmPending();
    switch (outcome) {
      case TargetOutcome::Missing:
        break;  // nothing there: removed, with nothing to credit
      case TargetOutcome::Refused:
        failed_.push_back(entry);
        break;
      case TargetOutcome::Found:
        if (!toTrash || !recycle(entry, target)) settle(entry, removal_.remove(target));
        break;
    }
    emitProgress(state_, kTask, entry, number, static_cast<uint64_t>(freed_), false);
  }

  // Removes what waits, confirms it with one read of its folder, credits it in order and reports
  // each entry's progress.
  void confirmPending() {
    if (pending_.empty()) return;
    std::vector<MeasuredTarget*> waiting;
    for (Pending& item : pending_) {
      if (!item.act) waiting.push_back(&item.target);
    }
    std::vector<RemovalAct> acts = removal_.actOnEach(waiting);
    auto act = acts.begin();
    std::vector<std::wstring> names;
    for (Pending& item : pending_) {
      if (!item.act) item.act = *act++;
      names.push_back(item.target.entry.listed.name);
    }
    const std::vector<bool> still = stillListedNames(*pending_.front().target.entry.parent, names);
    for (size_t i = 0; i < pending_.size(); ++i) {
      const Pending& item = pending_[i];
      settle(item.entry, creditOf(item.target, *item.act, !still[i]));
      emitProgress(state_, kTask, item.entry, item.number, static_cast<uint64_t>(freed_), false);
    }
    pending_.clear();
    pendingNames_.clear();
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
  struct Pending {
    std::string entry;
    uint64_t number;
    MeasuredTarget target;
    std::optional<RemovalAct> act;  // none while its removal waits for the others of its folder
  };

  // A removal for good waits with the others of its folder: files and links are removed together,
  // spread over threads, and one read of the folder then shows them gone. A folder is removed at
  // once (its own files are spread). The same entry twice, or an entry of another folder, first
  // settles what waits.
  void pend(const std::string& entry, uint64_t number, MeasuredTarget target) {
    const bool joins =
        pending_.empty() ||
        (pending_.front().target.entry.parent == target.entry.parent &&
         !pendingNames_.contains(target.entry.listed.name) && pending_.size() < kMostPending);
    if (!joins) confirmPending();
    pendingNames_.insert(target.entry.listed.name);
    std::optional<RemovalAct> act;
    if (target.entry.folder) act = removal_.act(target);
    pending_.push_back({entry, number, std::move(target), act});
  }

  enum class Recycled {
    Freed,    // in the bin and purged from it, or removed outright by the shell
    InTrash,  // in the bin, and it stays there
    Refused,  // the way to it could not be pinned: neither the shell nor a permanent removal
    NotDone,  // the shell cannot be handed the item, or it failed or left the item in place
  };

  void settle(const std::string& entry, const RemovalCredit& credit) {
    freed_ = addSize(freed_, credit.freed);
    if (!credit.gone) failed_.push_back(entry);
  }

  // False when the item is to be removed permanently instead.
  bool recycle(const std::string& entry, MeasuredTarget& target) {
    switch (shellRecycle(target)) {
      case Recycled::InTrash:
        inTrash_.push_back(entry);
        inTrashBytes_ = addSize(inTrashBytes_, target.size);
        return true;
      case Recycled::Freed:
        freed_ = addSize(freed_, target.size);
        return true;
      case Recycled::Refused:
        failed_.push_back(entry);
        return true;
      case Recycled::NotDone:
        break;
    }
    return false;
  }

  // The shell reads the path's text. It is handed only a path that reads as the resolver read it,
  // while every folder on the way is pinned, so that none can be renamed or replaced (by a link,
  // say) before the shell has read it. The item itself may still be swapped at its own name;
  // the shell then moves whatever stands there, as itself, and a link never leads it elsewhere.
  Recycled shellRecycle(MeasuredTarget& target) {
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

  ServiceState& state_;
  const DeletionEnvironment& env_;
  const FoldedGuard guard_;
  CheckedRemoval removal_;
  std::vector<Pending> pending_;
  std::unordered_set<std::wstring> pendingNames_;  // their names as their folder lists them
  int64_t freed_ = 0;
  int64_t inTrashBytes_ = 0;
  std::vector<std::string> failed_;
  std::vector<std::string> inTrash_;
};

}  // namespace

EncodableMap runDeletion(ServiceState& state, const DeletionEnvironment& environment,
                         const std::vector<std::string>& entries, bool toTrash) {
  Deletion deletion(state, environment, toTrash);
  uint64_t itemNumber = 0;
  for (const std::string& entry : entries) {
    ++itemNumber;
    if (entry == kRecycleBinPseudoPath) {
      deletion.emptyRecycleBins();
    } else {
      deletion.removeEntry(entry, itemNumber, toTrash);
    }
  }
  deletion.confirmPending();
  emitProgress(state, kTask, "", entries.size(), static_cast<uint64_t>(deletion.freed()), true);
  return deletion.reply();
}

}  // namespace tidvale
