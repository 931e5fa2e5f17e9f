#include "removal/recycle_purge.h"

#include <memory>
#include <optional>

#include "fs/path_text.h"
#include "removal/recycle_index.h"

namespace tidvale {
namespace {

constexpr size_t kDriveRootLength = 3;  // "C:\"
constexpr wchar_t kBinFolderName[] = L"$Recycle.Bin";
constexpr size_t kIndexPrefixLength = 2;  // "$I" of the index file, "$R" of its item
constexpr wchar_t kItemPrefix[] = L"$R";

bool isIndexFileName(const std::wstring& name) {
  return name.size() > kIndexPrefixLength && name[0] == L'$' &&
         (name[1] == L'I' || name[1] == L'i');
}

struct Candidate {
  std::wstring indexName;
  int64_t deletionTime = -1;
};

// The index file of the user's bin that records `target` with the latest deletion time; the first
// found wins a tie.
Candidate newestEntryOf(fs::HeldFolder& userBin, const std::wstring& userBinPath,
                        const IndexFileReader& readIndexFile, const std::wstring& target) {
  Candidate best;
  std::unique_ptr<fs::FolderListing> listing = userBin.list();
  if (!listing) return best;
  fs::DirEntry entry;
  while (listing->next(entry) == fs::ListStep::Entry) {
    if (!isIndexFileName(entry.name)) continue;
    const std::vector<uint8_t> bytes = readIndexFile(fs::joinPath(userBinPath, entry.name));
    const std::optional<RecycleIndexEntry> index = parseRecycleIndex(bytes);
    if (!index || index->deletionTime <= best.deletionTime) continue;
    if (recycleComparisonForm(index->originalPath) != target) continue;
    best = Candidate{entry.name, index->deletionTime};
  }
  return best;
}

}  // namespace

bool purgeFromRecycleBin(CheckedRemoval& removal, const IndexFileReader& readIndexFile,
                         const std::wstring& userSid, const std::wstring& path, uint64_t fileId) {
  if (path.size() < kDriveRootLength || path[1] != L':' || userSid.empty()) return false;
  const std::wstring target = recycleComparisonForm(path);
  const std::wstring userBinPath =
      fs::joinPath(fs::joinPath(path.substr(0, kDriveRootLength), kBinFolderName), userSid);
  // Only the user's own folder, reached without a link on the way and held as a plain folder.
  fs::ResolvedEntry userBin = removal.resolver().resolve(userBinPath);
  if (!userBin.found() || !userBin.folder) return false;

  const Candidate best = newestEntryOf(*userBin.folder, userBin.path, readIndexFile, target);
  if (best.indexName.empty()) return false;
  const std::wstring itemName = kItemPrefix + best.indexName.substr(kIndexPrefixLength);
  MeasuredTarget item;
  if (removal.measure(fs::joinPath(userBin.path, itemName), item) != TargetOutcome::Found ||
      item.entry.listed.fileId != fileId || !removal.remove(item).gone) {
    return false;
  }
  fs::DirEntry index;
  if (userBin.folder->lookup(best.indexName, index) == fs::StatusOutcome::Found) {
    userBin.folder->removeChild(index);
  }
  return true;
}

}  // namespace tidvale
