#include "removal/deletion.h"

#include <algorithm>
#include <cstdint>

#include "core/progress.h"
#include "removal/tree_remover.h"
#include "scanners/path_walks.h"

namespace tidvale {
namespace {

constexpr char kTask[] = "delete";

class Deletion {
 public:
  Deletion(ServiceState& state, const DeletionEnvironment& environment)
      : state_(state), env_(environment), fs_(environment.fileSystem) {}

  void emptyRecycleBins() {
    const EmptyBinsResult emptied = env_.recycleBin.emptyAll();
    if (emptied.succeeded) {
      freed_ += emptied.bytesBefore;
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
    const int64_t size = measurePath(fs_, *path, state_.cancelFlag);
    if (toTrash && recycle(entry, *path, size)) return;
    removePermanently(entry, *path, size);
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
  // False when the item must be removed permanently instead: the shell failed, was aborted, or
  // left the path in place.
  bool recycle(const std::string& entry, const std::wstring& path, int64_t size) {
    const int64_t binBefore = env_.recycleBin.bytesOnDriveOf(path);
    if (!env_.recycleBin.recycle(path) || stillThere(path)) return false;
    const int64_t binAfter = env_.recycleBin.bytesOnDriveOf(path);
    if (binAfter > binBefore && !env_.recycleBin.purge(path)) {
      inTrash_.push_back(entry);
      inTrashBytes_ += size;
    } else {
      // The bin did not grow (the shell removed the item outright) or the purge freed it.
      freed_ += size;
    }
    return true;
  }

  // Read-only entries, the item itself included, are cleared as they are removed, through their
  // own handles: never through a link. What remains after a partial removal is measured again and
  // only what went is credited.
  void removePermanently(const std::string& entry, const std::wstring& path, int64_t size) {
    removeTree(fs_, path);
    if (!stillThere(path)) {
      freed_ += size;
      return;
    }
    const int64_t remaining = measurePath(fs_, path, state_.cancelFlag);
    freed_ += std::max<int64_t>(0, size - remaining);
    failed_.push_back(entry);
  }

  // A status that cannot be read counts as absent.
  bool stillThere(const std::wstring& path) {
    return fs_.status(path, /*followLinks=*/false).exists();
  }

  ServiceState& state_;
  const DeletionEnvironment& env_;
  fs::FileSystem& fs_;
  int64_t freed_ = 0;
  int64_t inTrashBytes_ = 0;
  std::vector<std::string> failed_;
  std::vector<std::string> inTrash_;
};

}  // namespace

EncodableMap runDeletion(ServiceState& state, const DeletionEnvironment& environment,
                         const std::vector<std::string>& entries, bool toTrash) {
  Deletion deletion(state, environment);
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
