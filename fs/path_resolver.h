#pragma once
// From a caller's path to the entry it names, for anything destructive. The text is checked
// first; then the path is walked down from its volume root one component at a time, each opened
// relative to its folder's handle without following links, so a link or any other reparse point
// before the last component is a refusal and never leads elsewhere. Every open compares the
// handle's file id with the id the folder's listing showed. A folder target is refused when its
// identity (volume serial and file id) is protected, whatever name reached it. What resolves is
// held: the caller acts through the held folders, never through the path again. For a caller that
// hands the path's text on, the folders on the way are pinned, so that the text names what was
// resolved while they are held. Platform-neutral over the seam; one resolver serves one thread.

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fs/file_system.h"

namespace tidvale::fs {

// A path's text split for the walk down: the extended root ("\\?\C:\" or
// "\\?\UNC\server\share\") and the components below it.
struct TargetText {
  std::wstring root;
  std::vector<std::wstring> components;
};

// Nothing when the text cannot name a target exactly as Win32 would read it: empty or holding
// U+0000; not fully qualified; a device path other than "\\?\X:\..." and "\\?\UNC\..."; a
// wildcard or reserved character (* ? " < > |), a control character, or a ':' after the drive (a
// stream name). Without the "\\?\" prefix, '/' reads as '\' and "." and ".." resolve lexically;
// with it, they are refused (they name nothing there). Names ending in a dot or a space are kept
// as they are.
std::optional<TargetText> readTargetText(std::wstring_view path);

enum class ResolveOutcome {
  Found,
  Missing,  // nothing is there (a folder on the way is missing, or the last component is)
  Refused,  // see Refusal
};

enum class Refusal {
  None,
  Text,          // readTargetText refused it
  LinkOnTheWay,  // a reparse point stands before the last component
  Protected,     // a volume root, or a folder whose identity is protected
  Unreadable,    // a component could not be opened or read, so nothing could be proven
};

struct ResolvedEntry {
  ResolveOutcome outcome = ResolveOutcome::Refused;
  Refusal refusal = Refusal::None;
  std::shared_ptr<HeldFolder> parent;  // the target's folder, held (Found only)
  DirEntry listed;                     // the target as that folder lists it (its listed name)
  std::unique_ptr<HeldFolder> folder;  // the target itself, when it is a plain folder
  // The extended path walked, with each name as its folder lists it (Found only).
  std::wstring path;
  // Every folder on the way is pinned (HeldFolder::pinChild) for as long as the resolver keeps it:
  // until the next resolution leaves it or release(). False when the resolver does not pin, or
  // one could only be passed (someone else holds the right to delete it).
  bool pinned = false;

  bool found() const { return outcome == ResolveOutcome::Found; }
};

class PathResolver {
 public:
  // `protectedIds`: the identities of protected folders and of every folder that contains one.
  // With `pinTheWay`, the folders on the way are pinned rather than only passed: for a caller
  // that hands the resolved path's text to something else (the shell). Pins keep other removals
  // from taking those folders meanwhile, so nothing else asks for them.
  PathResolver(FileSystem& fileSystem, std::set<FileId> protectedIds, bool pinTheWay = false);

  ResolvedEntry resolve(std::wstring_view path);

  const std::set<FileId>& protectedIds() const { return protectedIds_; }

  // Lets go of the folders kept for the next resolution.
  void release();

 private:
  struct Step {
    std::wstring name;  // the component as given
    std::wstring listedName;
    std::shared_ptr<HeldFolder> folder;
    bool pinned = false;
  };

  // The entries of the folder that the last targets were looked up in. A second target looked
  // up in the same held folder lists it once, and the targets after it are answered from that
  // listing when their names match a listed name exactly; anything else asks the folder. An
  // answer may be stale: every open checks the listed file id, so a stale one acts on nothing.
  struct FolderEntries {
    std::weak_ptr<HeldFolder> folder;
    int lookups = 0;
    bool listed = false;
    std::unordered_map<std::wstring, DirEntry> byName;
  };

  std::shared_ptr<HeldFolder> heldRoot(const std::wstring& root, ResolvedEntry& result);
  StatusOutcome lookupTarget(const std::shared_ptr<HeldFolder>& folder, const std::wstring& name,
                             DirEntry& entry);

  FileSystem& fileSystem_;
  std::set<FileId> protectedIds_;
  bool pinTheWay_;
  // The last resolution's root and folders on the way, reused while the next path shares them.
  std::wstring rootText_;
  std::shared_ptr<HeldFolder> root_;
  std::vector<Step> steps_;
  FolderEntries lastFolder_;
};

// True for an entry that its listing shows as a plain folder (a folder, and no reparse point).
constexpr bool isPlainFolderEntry(const DirEntry& entry) {
  return (entry.attributes & kAttributeDirectory) != 0 &&
         (entry.attributes & kAttributeReparsePoint) == 0;
}

}  // namespace tidvale::fs
