#pragma once
// Seeded random folder trees for the differential tests of the storage scans: the tree is kept as
// a plain list of entries, which the tests' oracles read, and is planted into the in-memory file
// system (in its own order or shuffled) with a content reader that answers for its files.
//
// Trees are deep and wide, sizes are drawn from a small palette (so ties are everywhere, around
// the 64 KiB partial-digest boundary too), and they hold empty files, hard links, links of every
// kind, cloud placeholders, hidden, system, read-only and unreadable entries, and files whose
// content reads short or not at all.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "fs/fake_file_system.h"
#include "scanners/file_content.h"

namespace tidvale::testing {

enum class TreeEntryKind {
  Folder,
  File,
  Placeholder,        // a file that is a reparse point with a non-link tag
  PlaceholderFolder,  // the same for a folder, which may hold entries
  FileSymlink,
  FolderSymlink,
  Junction,
  OtherLink,  // a name-surrogate reparse point (a WSL link, say)
};

enum class ReadFault { None, Short, Fails };

struct TreeEntry {
  std::wstring path;  // below the root, "\"-separated
  TreeEntryKind kind = TreeEntryKind::File;
  int parent = -1;          // index of the folder holding it; -1 for the root
  uint32_t attributes = 0;  // hidden, system, read-only bits
  bool denied = false;      // folders: may not be opened
  int64_t size = 0;
  int64_t lastWriteTime = 0;
  uint64_t file = 0;    // files: the identity, shared by hard links
  std::wstring target;  // links: the path below the root they lead to

  bool isFolder() const {
    return kind == TreeEntryKind::Folder || kind == TreeEntryKind::PlaceholderFolder;
  }
  std::wstring name() const { return path.substr(path.find_last_of(L'\\') + 1); }
};

// What a file's bytes are: the first 64 KiB and the rest, each named by a small number, so that
// equal numbers mean equal bytes. Files of at most 64 KiB have no rest.
struct FileContentKey {
  int head = 0;
  int tail = 0;
  ReadFault fault = ReadFault::None;
};

class RandomTree {
 public:
  // Entries are added to a folder given by its index (-1: the root); names must be unique in it.
  int addFolder(int parent, const std::wstring& name, TreeEntryKind kind = TreeEntryKind::Folder,
                uint32_t attributes = 0);
  int addFile(int parent, const std::wstring& name, int64_t size, FileContentKey content = {},
              uint32_t attributes = 0, TreeEntryKind kind = TreeEntryKind::File);
  int addHardLink(int parent, const std::wstring& name, int of);
  int addLink(int parent, const std::wstring& name, TreeEntryKind kind, int target);

  const std::vector<TreeEntry>& entries() const { return entries_; }
  TreeEntry& entry(int index) { return entries_[static_cast<size_t>(index)]; }
  const FileContentKey& content(uint64_t file) const { return contents_.at(file); }
  // The entry at `path` below the root; -1 when there is none.
  int find(const std::wstring& path) const;

  // Plants the tree below `root` (which need not exist yet), in entry order or, given a seed,
  // in a shuffled order: listings then meet the entries in another order.
  void plant(fs::FakeFileSystem& fileSystem, const std::wstring& root,
             std::optional<uint32_t> shuffleSeed = std::nullopt) const;

  // Readers that know the files planted below `root`: digests follow the content keys and the
  // reader's rules on short and failing reads; identities are the entries' files. The tree must
  // outlive them; they only read it, from any thread.
  ContentReaderFactory contentReaders(const std::wstring& root) const;

  // The digest the reader gives for a whole file of this size and content.
  static std::string wholeDigest(int64_t size, const FileContentKey& content);

 private:
  int add(int parent, const std::wstring& name, TreeEntryKind kind);

  std::vector<TreeEntry> entries_;
  std::map<std::wstring, int> byPath_;
  std::map<uint64_t, FileContentKey> contents_;
  uint64_t nextFile_ = 1;
};

// A random tree of about `files` files; the same seed always gives the same tree.
RandomTree randomTree(uint32_t seed, size_t files);

// Sizes of the palette random trees draw from: small ones, the 64 KiB boundary, 1 MiB and
// 100 MiB thresholds.
const std::vector<int64_t>& sizePalette();

// How many seeds a differential test runs: `normal`, or TIDVALE_DIFF_SEEDS when it is set.
uint32_t seedCount(uint32_t normal);

}  // namespace tidvale::testing
