#pragma once
// An in-memory file system behind the seam, for the cases a real test machine cannot produce:
// junctions, symbolic links to files and folders, reparse points with other tags, folders that
// may not be opened, listings that fail part-way and files held open by another process.
//
// Paths are split on "\" and "/", after an extended-length "\\?\" prefix; names compare without
// case (towlower per unit). The first component (such as "C:") is a top-level folder like any
// other. Missing parent folders are created by the add* calls. Thread-safe: one lock over the tree;
// listings work on a snapshot of the folder taken when it is opened.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "fs/file_system.h"

namespace tidvale::fs {

class FakeFileSystem final : public FileSystem {
 public:
  // Called by a listing just before it returns each entry, with the listed folder's path as it
  // was opened. Lets a test act (set a cancel flag, change the tree) at a precise point.
  using ListingHook = std::function<void(const std::wstring& folder, const DirEntry& entry)>;

  FakeFileSystem();
  ~FakeFileSystem() override;

  void addFolder(const std::wstring& path, uint32_t extraAttributes = 0);
  void addFile(const std::wstring& path, int64_t size, int64_t lastWriteTime = 0,
               uint32_t extraAttributes = 0);
  // A symbolic link to `target` (which need not exist), as a file or a folder link.
  void addSymlink(const std::wstring& path, const std::wstring& target, bool folderLink);
  void addJunction(const std::wstring& path, const std::wstring& target);
  // A reparse point with another tag (a cloud placeholder, say): a plain file or folder to walks.
  void addReparsePoint(const std::wstring& path, uint32_t tag, bool folder, int64_t size = 0);
  // Another name for the existing folder `target`, with no reparse point to show for it: a second
  // drive letter ("D:"), a share (UNC\server\share) or a folder mounted elsewhere. Every
  // lookup goes through it as if it were the folder itself, and it has the folder's identity.
  void addAlias(const std::wstring& path, const std::wstring& target);

  // The folder exists but cannot be opened for listing or removed.
  void denyAccess(const std::wstring& folder);
  // Listing the folder returns `entries` entries, then reports an error.
  void failListingAfter(const std::wstring& folder, size_t entries);
  // Another process holds the folder open with the right to delete it: it cannot be pinned.
  void holdDeleteRightElsewhere(const std::wstring& folder);
  // The file cannot be removed while another process holds it.
  void setInUse(const std::wstring& file, bool inUse);
  // Another process moves the entry at `path` away, with everything below it. False when it
  // cannot: nothing is there, or the entry is pinned (HeldFolder::pinChild).
  bool erase(const std::wstring& path);
  // Another process replaces the entry at `path` by a junction to `target`: the entry is moved
  // out of the tree (a folder held for removal keeps it), and the junction takes its name. False
  // when it cannot, as erase.
  bool replaceWithJunction(const std::wstring& path, const std::wstring& target);
  // As replaceWithJunction, with a link as Wine shows a Linux one: it lists as a plain entry with
  // the id of the folder `target`, and every open goes through it to that folder.
  bool replaceWithFollowedLink(const std::wstring& path, const std::wstring& target);
  void setListingHook(ListingHook hook);
  // Called after a held folder has answered a lookup of `name`, with the held folder's path, so a
  // test can change the tree between resolving a path and acting on it.
  using LookupHook = std::function<void(const std::wstring& folder, const std::wstring& name)>;
  void setLookupHook(LookupHook hook);

  bool exists(const std::wstring& path);
  // The file id that listings show for the entry at `path` (links not followed); 0 when missing.
  uint64_t idOf(const std::wstring& path);
  // Every path passed to openFolder, in call order, as given.
  std::vector<std::wstring> openedFolders();

  std::unique_ptr<FolderListing> openFolder(const std::wstring& path) override;
  FileStatus status(const std::wstring& path, bool followLinks) override;
  FsError removeFile(const std::wstring& path) override;
  FsError removeFolder(const std::wstring& path) override;
  FsError setAttributes(const std::wstring& path, uint32_t attributes) override;
  Hold holdFolder(const std::wstring& path) override;
  FsError removeEntry(const std::wstring& path) override;
  Hold holdVolumeRoot(const std::wstring& root) override;
  std::optional<std::wstring> finalPath(const std::wstring& path) override;

 private:
  struct Node;
  struct Lookup;
  class HeldNode;

  Hold hold(const std::shared_ptr<Node>& node, std::wstring path);
  bool replace(const std::wstring& path, const std::wstring& target, bool junction);
  FsError removableNode(const Node& node) const;
  FsError removeNode(Node& node);
  std::unique_ptr<FolderListing> listing(const Node& folder, const std::wstring& path);

  Lookup find(const std::wstring& path, bool followLast, int hops);
  Node& create(const std::wstring& path, uint32_t attributes);
  Node* existing(const std::wstring& path);
  Node* throughAliases(Node* node);
  std::wstring pathOf(const Node& node) const;

  std::mutex lock_;
  std::shared_ptr<Node> root_;
  std::vector<std::wstring> opened_;
  ListingHook hook_;
  LookupHook lookupHook_;
  uint64_t nextId_ = 1;
};

}  // namespace tidvale::fs
