#include "removal/recycle_purge.h"

#include <memory>
#include <optional>

#include "fs/path_text.h"
#include "removal/recycle_index.h"
#include "removal/tree_remover.h"

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
  std::wstring folder;  // the user's bin folder
  std::wstring indexName;
  int64_t deletionTime = -1;
};

// The index file in `folder` that records `target` with the latest deletion time, if later than
// `best`'s; the first found wins a tie.
void considerFolder(fs::FileSystem& fileSystem, const IndexFileReader& readIndexFile,
                    const std::wstring& folder, const std::wstring& target, Candidate& best) {
  std::unique_ptr<fs::FolderListing> listing = fileSystem.openFolder(folder);
  if (!listing) return;
  fs::DirEntry entry;
  while (listing->next(entry) == fs::ListStep::Entry) {
    if (!isIndexFileName(entry.name)) continue;
    const std::wstring indexPath = fs::joinPath(folder, entry.name);
    const std::vector<uint8_t> bytes = readIndexFile(indexPath);
    const std::optional<RecycleIndexEntry> index = parseRecycleIndex(bytes);
    if (!index || index->deletionTime <= best.deletionTime) continue;
    if (recycleComparisonForm(index->originalPath) != target) continue;
    best = Candidate{folder, entry.name, index->deletionTime};
  }
}

}  // namespace

bool purgeFromRecycleBin(fs::FileSystem& fileSystem, const IndexFileReader& readIndexFile,
                         const std::wstring& path) {
  if (path.size() < kDriveRootLength || path[1] != L':') return false;
  const std::wstring target = recycleComparisonForm(path);
  const std::wstring binRoot = fs::joinPath(path.substr(0, kDriveRootLength), kBinFolderName);

  Candidate best;
  if (std::unique_ptr<fs::FolderListing> users = fileSystem.openFolder(binRoot)) {
    fs::DirEntry user;
    while (users->next(user) == fs::ListStep::Entry) {
      const fs::EntryKind kind = fs::classifyEntry(user.attributes, user.reparseTag);
      if (kind != fs::EntryKind::Folder) continue;
      considerFolder(fileSystem, readIndexFile, fs::joinPath(binRoot, user.name), target, best);
    }
  }
  if (best.indexName.empty()) return false;

  const std::wstring item =
      fs::joinPath(best.folder, kItemPrefix + best.indexName.substr(kIndexPrefixLength));
  removeTree(fileSystem, item);
  // A status that cannot be read counts as gone.
  if (fileSystem.status(item, /*followLinks=*/false).exists()) return false;
  fileSystem.removeEntry(fs::joinPath(best.folder, best.indexName));
  return true;
}

}  // namespace tidvale
