#include "scanners/random_tree_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <unordered_map>

#include "core/lower_case.h"

namespace tidvale::testing {
namespace {

constexpr uint32_t kCloudPlaceholderTag = 0x9000001A;  // not a name surrogate
constexpr uint32_t kWslLinkTag = 0xA000001D;           // a name surrogate
constexpr int64_t kUnixEpochTicks = 116'444'736'000'000'000;

struct NoState final : DigestContinuation {};

class TreeContentReader final : public FileContentReader {
 public:
  TreeContentReader(const RandomTree& tree, const std::unordered_map<std::wstring, int>& files)
      : tree_(tree), files_(files) {}

  BeginningDigest digestBeginning(const std::wstring& path, int64_t expectedSize) override {
    const TreeEntry* entry = file(path, expectedSize);
    if (!entry) return {};
    const FileContentKey& key = tree_.content(entry->file);
    const int64_t readable = key.fault == ReadFault::Short ? entry->size - 1 : entry->size;
    const bool whole = entry->size <= kPartialDigestBytes;
    if (readable < (whole ? entry->size : kPartialDigestBytes)) return {};
    if (whole) return {RandomTree::wholeDigest(entry->size, key), nullptr};
    return {"p" + std::to_string(key.head), std::make_unique<NoState>()};
  }

  std::string digestWhole(const std::wstring& path, int64_t expectedSize,
                          DigestContinuation*) override {
    const TreeEntry* entry = file(path, expectedSize);
    if (!entry || tree_.content(entry->file).fault == ReadFault::Short) return {};
    return RandomTree::wholeDigest(entry->size, tree_.content(entry->file));
  }

  std::optional<FileIdentity> identity(const std::wstring& path) override {
    const auto found = files_.find(path);
    if (found == files_.end()) return std::nullopt;
    return FileIdentity{1, tree_.entries()[static_cast<size_t>(found->second)].file, 0};
  }

 private:
  // The readable file at `path` of the size it was listed with; null otherwise.
  const TreeEntry* file(const std::wstring& path, int64_t expectedSize) const {
    const auto found = files_.find(path);
    if (found == files_.end()) return nullptr;
    const TreeEntry& entry = tree_.entries()[static_cast<size_t>(found->second)];
    if (entry.size != expectedSize || tree_.content(entry.file).fault == ReadFault::Fails) {
      return nullptr;
    }
    return &entry;
  }

  const RandomTree& tree_;
  const std::unordered_map<std::wstring, int>& files_;
};

}  // namespace

int RandomTree::add(int parent, const std::wstring& name, TreeEntryKind kind) {
  TreeEntry entry;
  entry.path = parent < 0 ? name : entries_[static_cast<size_t>(parent)].path + L"\\" + name;
  entry.kind = kind;
  entry.parent = parent;
  const int index = static_cast<int>(entries_.size());
  byPath_.emplace(entry.path, index);
  entries_.push_back(std::move(entry));
  return index;
}

int RandomTree::addFolder(int parent, const std::wstring& name, TreeEntryKind kind,
                          uint32_t attributes) {
  const int index = add(parent, name, kind);
  entry(index).attributes = attributes;
  return index;
}

int RandomTree::addFile(int parent, const std::wstring& name, int64_t size, FileContentKey content,
                        uint32_t attributes, TreeEntryKind kind) {
  const int index = add(parent, name, kind);
  TreeEntry& file = entry(index);
  file.size = size;
  file.attributes = attributes;
  file.lastWriteTime = kUnixEpochTicks + (1'600'000'000 + index) * 10'000'000LL;
  file.file = nextFile_++;
  if (size <= kPartialDigestBytes) content.tail = 0;
  if (size == 0 && content.fault == ReadFault::Short) content.fault = ReadFault::None;
  contents_[file.file] = content;
  return index;
}

int RandomTree::addHardLink(int parent, const std::wstring& name, int of) {
  const int index = add(parent, name, TreeEntryKind::File);
  const TreeEntry& original = entry(of);
  TreeEntry& link = entry(index);
  link.size = original.size;
  link.lastWriteTime = original.lastWriteTime;
  link.file = original.file;
  return index;
}

int RandomTree::addLink(int parent, const std::wstring& name, TreeEntryKind kind, int target) {
  const int index = add(parent, name, kind);
  entry(index).target = target < 0 ? L"" : entry(target).path;
  return index;
}

int RandomTree::find(const std::wstring& path) const {
  const auto found = byPath_.find(path);
  return found == byPath_.end() ? -1 : found->second;
}

void RandomTree::plant(fs::FakeFileSystem& fileSystem, const std::wstring& root,
                       std::optional<uint32_t> shuffleSeed) const {
  std::vector<size_t> order(entries_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  if (shuffleSeed) std::shuffle(order.begin(), order.end(), std::mt19937(*shuffleSeed));
  fileSystem.addFolder(root);
  const auto full = [&root](const std::wstring& path) {
    return path.empty() ? root : root + L"\\" + path;
  };
  for (size_t i : order) {
    const TreeEntry& e = entries_[i];
    const std::wstring path = full(e.path);
    switch (e.kind) {
      case TreeEntryKind::Folder:
        fileSystem.addFolder(path, e.attributes);
        break;
      case TreeEntryKind::PlaceholderFolder:
        fileSystem.addReparsePoint(path, kCloudPlaceholderTag, true);
        break;
      case TreeEntryKind::File:
        fileSystem.addFile(path, e.size, e.lastWriteTime, e.attributes);
        break;
      case TreeEntryKind::Placeholder:
        fileSystem.addReparsePoint(path, kCloudPlaceholderTag, false, e.size);
        break;
      case TreeEntryKind::FileSymlink:
        fileSystem.addSymlink(path, full(e.target), false);
        break;
      case TreeEntryKind::FolderSymlink:
        fileSystem.addSymlink(path, full(e.target), true);
        break;
      case TreeEntryKind::Junction:
        fileSystem.addJunction(path, full(e.target));
        break;
      case TreeEntryKind::OtherLink:
        fileSystem.addReparsePoint(path, kWslLinkTag, true);
        break;
    }
  }
  for (const TreeEntry& e : entries_) {
    if (e.denied) fileSystem.denyAccess(full(e.path));
  }
}

ContentReaderFactory RandomTree::contentReaders(const std::wstring& root) const {
  auto files = std::make_shared<std::unordered_map<std::wstring, int>>();
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].file != 0) files->emplace(root + L"\\" + entries_[i].path, static_cast<int>(i));
  }
  return [this, files] { return std::make_unique<TreeContentReader>(*this, *files); };
}

std::string RandomTree::wholeDigest(int64_t size, const FileContentKey& content) {
  std::string digest = "w" + std::to_string(content.head);
  if (size > kPartialDigestBytes) digest += "." + std::to_string(content.tail);
  return digest;
}

const std::vector<int64_t>& sizePalette() {
  static const std::vector<int64_t> palette = {
      0,       1,       7,       512,       4096,      65535,     65536,
      65537,   70000,   100000,  1048575,   1048576,   1048577,   2097152,
      5242880, 8388608, 8388608, 104857599, 104857600, 104857601, 209715200};
  return palette;
}

RandomTree randomTree(uint32_t seed, size_t files) {
  std::mt19937 random(seed);
  const auto chance = [&random](int percent) { return static_cast<int>(random() % 100) < percent; };
  const auto pick = [&random](size_t count) { return static_cast<size_t>(random() % count); };
  RandomTree tree;
  std::vector<int> folders = {-1};
  std::map<int, std::set<std::wstring>> taken;
  // A unique name in `parent`: `wanted` when it is free, else a numbered one.
  const auto nameIn = [&](int parent, const std::wstring& wanted, const std::wstring& numbered) {
    const std::wstring name = taken[parent].insert(toLowerUnits(wanted)).second ? wanted : numbered;
    taken[parent].insert(toLowerUnits(name));
    return name;
  };
  // Deep chains, a wide root and one wide folder: the root's share and the wide folder's share
  // of entries go past the disk tree's 40 children.
  int wide = -1;
  const auto folderFor = [&]() {
    if (chance(30)) return -1;
    if (wide >= 0 && chance(15)) return wide;
    if (chance(50)) return folders[folders.size() - 1 - pick(std::min<size_t>(folders.size(), 4))];
    return folders[pick(folders.size())];
  };

  static const std::wstring kSpecialFolders[] = {
      L"node_modules", L"AppData", L"Windows", L".git", L"windows-backup", L"$Recycle.Bin"};
  const size_t folderCount = files / 8 + 3;
  for (size_t i = 0; i < folderCount; ++i) {
    const int parent = folderFor();
    const std::wstring numbered = L"d" + std::to_wstring(i);
    const std::wstring name = nameIn(
        parent, chance(8) ? kSpecialFolders[pick(std::size(kSpecialFolders))] : numbered, numbered);
    uint32_t attributes = 0;
    if (chance(6)) attributes |= fs::kAttributeHidden;
    if (chance(4)) attributes |= fs::kAttributeSystem;
    if (chance(5)) attributes |= fs::kAttributeReadOnly;
    const int folder = tree.addFolder(
        parent, name, chance(3) ? TreeEntryKind::PlaceholderFolder : TreeEntryKind::Folder,
        attributes);
    tree.entry(folder).denied = chance(3);
    folders.push_back(folder);
    if (i == 2) wide = folder;
  }

  static const std::wstring kFileNames[] = {L"thumbcache_", L"IconCache_", L"iconcache", L"f"};
  static const std::wstring kExtensions[] = {L".bin", L".txt", L".MKV", L""};
  std::vector<int> plainFiles;
  for (size_t i = 0; i < files; ++i) {
    const int parent = folderFor();
    const std::wstring stem = chance(6) ? kFileNames[pick(3)] : kFileNames[3];
    const std::wstring name =
        nameIn(parent, stem + std::to_wstring(i) + kExtensions[pick(4)], L"f" + std::to_wstring(i));
    const int64_t size = chance(80) ? sizePalette()[pick(sizePalette().size())]
                                    : static_cast<int64_t>(random() % 300) * 10'000;
    FileContentKey content{static_cast<int>(random() % 3), static_cast<int>(random() % 3)};
    if (chance(4)) content.fault = ReadFault::Short;
    if (chance(3)) content.fault = ReadFault::Fails;
    uint32_t attributes = 0;
    if (chance(5)) attributes |= fs::kAttributeHidden;
    if (chance(3)) attributes |= fs::kAttributeSystem;
    if (chance(5)) attributes |= fs::kAttributeReadOnly;
    const bool placeholder = chance(3);
    const int file = tree.addFile(parent, name, size, content, attributes,
                                  placeholder ? TreeEntryKind::Placeholder : TreeEntryKind::File);
    if (!placeholder) plainFiles.push_back(file);
  }

  for (size_t i = 0; i < files / 25 + 1 && !plainFiles.empty(); ++i) {
    const int parent = folderFor();
    const std::wstring numbered = L"h" + std::to_wstring(i);
    tree.addHardLink(parent, nameIn(parent, numbered, numbered),
                     plainFiles[pick(plainFiles.size())]);
  }
  static const TreeEntryKind kLinks[] = {TreeEntryKind::FileSymlink, TreeEntryKind::FolderSymlink,
                                         TreeEntryKind::Junction, TreeEntryKind::OtherLink};
  for (size_t i = 0; i < files / 40 + 4; ++i) {
    const int parent = folderFor();
    const std::wstring numbered = L"l" + std::to_wstring(i);
    const TreeEntryKind kind = kLinks[pick(std::size(kLinks))];
    const int target = kind == TreeEntryKind::FileSymlink && !plainFiles.empty()
                           ? plainFiles[pick(plainFiles.size())]
                           : folders[pick(folders.size())];
    tree.addLink(parent, nameIn(parent, numbered, numbered), kind, target);
  }
  return tree;
}

uint32_t seedCount(uint32_t normal) {
  const char* text = std::getenv("TIDVALE_DIFF_SEEDS");
  if (!text) return normal;
  const long value = std::strtol(text, nullptr, 10);
  return value > 0 ? static_cast<uint32_t>(value) : normal;
}

}  // namespace tidvale::testing
