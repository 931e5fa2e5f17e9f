#pragma once
// The narrow file-system seam under every walk and removal: list a folder, read a path's status,
// remove a file, remove an empty folder or a link, set attributes, and hold a folder for removal.
// Walks and removals are written against this interface so that their link, permission and failure
// rules can be exercised on an in-memory file system as well as on the real one.
//
// Paths are UTF-16 on Windows (wchar_t units); they are reported back exactly as the caller gave
// them, with "\" and an entry name appended by the walkers.

#include <compare>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace tidvale::fs {

// Attribute bits and reparse tags, with the values Windows gives them.
inline constexpr uint32_t kAttributeReadOnly = 0x1;
inline constexpr uint32_t kAttributeHidden = 0x2;
inline constexpr uint32_t kAttributeSystem = 0x4;
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeArchive = 0x20;
inline constexpr uint32_t kAttributeNormal = 0x80;
inline constexpr uint32_t kAttributeReparsePoint = 0x400;

inline constexpr uint32_t kReparseTagSymlink = 0xA000000C;     // IO_REPARSE_TAG_SYMLINK
inline constexpr uint32_t kReparseTagMountPoint = 0xA0000003;  // IO_REPARSE_TAG_MOUNT_POINT

// One entry of a folder listing, as the listing itself supplies it (links are not followed).
struct DirEntry {
  std::wstring name;          // the entry's own name, never "." or ".."
  uint32_t attributes = 0;    // kAttribute* bits
  uint32_t reparseTag = 0;    // meaningful only with kAttributeReparsePoint
  int64_t size = 0;           // logical length; 0 for folders
  int64_t lastWriteTime = 0;  // Windows file time: 100 ns ticks since 1601-01-01 UTC
  // The file's 64-bit id as the listing shows it (0 when the listing shows none). An open made
  // through a held folder acts only when the opened handle carries this same id.
  uint64_t fileId = 0;
};

enum class StatusOutcome {
  Found,
  NotFound,  // nothing exists at the path (or a folder on the way is missing)
  Failed,    // the status could not be read
};

struct FileStatus {
  StatusOutcome outcome = StatusOutcome::Failed;
  uint32_t attributes = 0;
  uint32_t reparseTag = 0;
  int64_t size = 0;
  int64_t lastWriteTime = 0;

  bool exists() const { return outcome == StatusOutcome::Found; }
  bool isFolder() const { return exists() && (attributes & kAttributeDirectory) != 0; }
};

// Why a change to the file system did not happen.
enum class FsError {
  None,
  NotFound,
  AccessDenied,
  InUse,     // another process holds the file open without sharing delete
  NotEmpty,  // a folder that still has entries
  Changed,   // the name now leads to another file than the one its listing showed
  Other,
};

enum class ListStep {
  Entry,  // the out-parameter holds the next entry
  End,    // every entry has been returned
  Error,  // advancing failed; the listing is over, what came before stands
};

// An open listing of one folder. Not thread-safe; one thread walks it.
class FolderListing {
 public:
  virtual ~FolderListing() = default;
  // Fills `entry` with the next entry ("." and ".." are never returned).
  virtual ListStep next(DirEntry& entry) = 0;
};

// Why a folder could not be held for removal.
enum class HoldOutcome {
  Held,
  NotPlainFolder,  // a file, a link or another reparse point: remove it as itself
  Missing,         // nothing exists at the path or name
  Failed,          // it exists but could not be opened (the error says why)
};

// Which object an open handle is: the volume's serial number and the file's 128-bit id. Every
// name of one folder or file (another drive letter, a share, a short name, a hard link) opens
// with the same identity.
struct FileId {
  uint64_t volume = 0;
  uint64_t low = 0;
  uint64_t high = 0;
  auto operator<=>(const FileId&) const = default;
};

class HeldFolder;

struct Hold {
  explicit Hold(HoldOutcome outcome, std::unique_ptr<HeldFolder> folder = nullptr,
                FsError error = FsError::None)
      : outcome(outcome), folder(std::move(folder)), error(error) {}

  HoldOutcome outcome;
  std::unique_ptr<HeldFolder> folder;  // set when held
  FsError error;                       // set when failed
};

// A folder held open for removal, opened without following links and known to be a plain folder
// (no reparse point). It stays the same folder whatever later happens to its path: entries are
// listed, opened and removed relative to it, never by re-reading the path, so a folder swapped
// for a link after it was listed cannot lead a removal outside the tree. Every open of an entry
// (`listed`, as this folder's listing or lookup showed it) compares the opened handle's file id
// with the listed one; when they differ, the name now leads elsewhere (a swap since the listing,
// or a link that the open followed) and nothing is done through that handle: the hold fails with
// FsError::Changed, or the removal returns it. One thread uses it, except that holdChild and
// removeChild may be called from several threads at once, for distinct entries, also while
// another reads a listing of the folder. The folder is released when the object is destroyed.
class HeldFolder {
 public:
  virtual ~HeldFolder() = default;
  // The folder's entries, as an open listing of this very folder. Null when it cannot be listed.
  virtual std::unique_ptr<FolderListing> list() = 0;
  // Holds the entry if it is a plain folder, to remove it.
  virtual Hold holdChild(const DirEntry& listed) = 0;
  // Holds the entry if it is a plain folder, only to list it and to reach what lies below it:
  // without the right to delete it, so that others can still list, open and delete it meanwhile.
  virtual Hold passChild(const DirEntry& listed) = 0;
  // As passChild, and keeps the folder in place while it is held: others may still list and open
  // it, but nobody can rename or remove it, so a path through it names what was resolved until
  // the hold is released. Failed with FsError::InUse when someone already holds the right to
  // delete it.
  virtual Hold pinChild(const DirEntry& listed) = 0;
  // Removes the entry as itself: a file, a link of any kind (never what it leads to) or an empty
  // folder, clearing its read-only attribute first. NotFound when it is already gone. An entry
  // listed as a reparse point is removed only through a handle that is the reparse point too.
  virtual FsError removeChild(const DirEntry& listed) = 0;
  // Removes this folder once it is empty; it is gone when the object is destroyed.
  virtual FsError removeSelf() = 0;
  // The entry `name` as this folder's listing shows it, asking for that one name only (letter
  // case ignored; a short name finds its entry, which carries its long name). Found fills
  // `entry`; NotFound when there is no such entry.
  virtual StatusOutcome lookup(const std::wstring& name, DirEntry& entry) = 0;
  // Which folder this is; nothing when it cannot be read.
  virtual std::optional<FileId> identity() = 0;
};

// Any thread; implementations are safe to share between threads.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Null when the folder cannot be opened: missing, not a folder, access denied. Opening a link
  // lists its target, so callers decide from an entry's kind whether to open it at all.
  virtual std::unique_ptr<FolderListing> openFolder(const std::wstring& path) = 0;

  // The status of the path itself (`followLinks` false) or of what its links lead to.
  virtual FileStatus status(const std::wstring& path, bool followLinks) = 0;

  // Removes a file, or a link to a file as the link itself.
  virtual FsError removeFile(const std::wstring& path) = 0;
  // Removes an empty folder, or a link to a folder (junction or symbolic link) as the link itself.
  virtual FsError removeFolder(const std::wstring& path) = 0;
  virtual FsError setAttributes(const std::wstring& path, uint32_t attributes) = 0;

  // Holds the folder at `path` for removal, without following a link at the path itself.
  virtual Hold holdFolder(const std::wstring& path) = 0;
  // Removes the entry at `path` as itself, as HeldFolder::removeChild does (with the attributes
  // the path itself shows).
  virtual FsError removeEntry(const std::wstring& path) = 0;

  // Holds the root folder of a volume or a share, in extended form ("\\?\C:\" or
  // "\\?\UNC\server\share\"), to pass through it. A root is a plain folder whatever reparse
  // attributes it shows (Wine shows a mount point's root as one).
  virtual Hold holdVolumeRoot(const std::wstring& root) = 0;
  // The extended path of what `path` leads to, every link followed, as the system names it;
  // nothing when it cannot tell (the path is missing, say).
  virtual std::optional<std::wstring> finalPath(const std::wstring& path) = 0;
};

// How walks and removals treat an entry, from its own attributes and reparse tag. Symbolic links
// and junctions are links; so is any reparse point whose tag marks it as standing for another
// name (the name-surrogate bit: WSL and container links and the like), and one whose tag is 0 or
// could not be read (Wine lists a Linux folder symlink so). A link is never entered and is
// removed as itself. A reparse point with any other tag (a cloud placeholder, a deduplicated
// file) is a plain file or folder by its folder attribute.
enum class EntryKind { File, Folder, Symlink, Junction, OtherLink };

inline constexpr uint32_t kReparseTagNameSurrogateBit = 0x20000000;  // IsReparseTagNameSurrogate

constexpr EntryKind classifyEntry(uint32_t attributes, uint32_t reparseTag) {
  if ((attributes & kAttributeReparsePoint) != 0) {
    if (reparseTag == kReparseTagSymlink) return EntryKind::Symlink;
    if (reparseTag == kReparseTagMountPoint) return EntryKind::Junction;
    if (reparseTag == 0 || (reparseTag & kReparseTagNameSurrogateBit) != 0) {
      return EntryKind::OtherLink;
    }
  }
  return (attributes & kAttributeDirectory) != 0 ? EntryKind::Folder : EntryKind::File;
}

constexpr bool isLink(EntryKind kind) {
  return kind == EntryKind::Symlink || kind == EntryKind::Junction || kind == EntryKind::OtherLink;
}

}  // namespace tidvale::fs
