#include "fs/fake_file_system.h"

#include <algorithm>
#include <cwctype>
#include <string_view>
#include <utility>

#include "fs/extended_path.h"
#include "fs/path_text.h"

namespace tidvale::fs {
namespace {

// Beyond this many link substitutions a lookup fails, as a link loop does on Windows.
constexpr int kMaxLinkHops = 31;

// Bits that setAttributes may change; the rest describe what the entry is.
constexpr uint32_t kSettableAttributes =
    kAttributeReadOnly | kAttributeHidden | kAttributeSystem | kAttributeArchive;

std::vector<std::wstring> splitPath(std::wstring_view path) {
  if (path.starts_with(kExtendedPrefix)) path.remove_prefix(kExtendedPrefix.size());
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || isSeparator(path[i])) {
      if (i > start) parts.emplace_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

class FakeListing final : public FolderListing {
 public:
  FakeListing(std::wstring folder, std::vector<DirEntry> entries, std::optional<size_t> failAfter,
              FakeFileSystem::ListingHook hook)
      : folder_(std::move(folder)),
        entries_(std::move(entries)),
        failAfter_(failAfter),
        hook_(std::move(hook)) {}

  ListStep next(DirEntry& entry) override {
    if (failAfter_ && next_ >= *failAfter_) return ListStep::Error;
    if (next_ >= entries_.size()) return ListStep::End;
    if (hook_) hook_(folder_, entries_[next_]);
    entry = entries_[next_++];
    return ListStep::Entry;
  }

 private:
  std::wstring folder_;
  std::vector<DirEntry> entries_;
  std::optional<size_t> failAfter_;
  FakeFileSystem::ListingHook hook_;
  size_t next_ = 0;
};

}  // namespace

struct FakeFileSystem::Node {
  std::wstring name;
  uint32_t attributes = 0;
  uint32_t reparseTag = 0;
  int64_t size = 0;
  int64_t lastWriteTime = 0;
  std::wstring target;   // links only
  std::wstring aliasOf;  // aliases only: the folder this is another name for
  uint64_t id = 0;       // the file id; an alias shows its folder's
  bool denied = false;
  bool inUse = false;
  int pins = 0;  // held in place: another process can neither move nor replace it
  bool deleteHeldElsewhere = false;  // another process holds the right to delete it
  std::optional<size_t> failAfter;
  Node* parent = nullptr;
  std::vector<std::shared_ptr<Node>> children;  // shared: a held folder outlives its detaching

  bool isFolder() const { return (attributes & kAttributeDirectory) != 0; }
  bool isLink() const { return fs::isLink(classifyEntry(attributes, reparseTag)); }
  Node* child(const std::wstring& childName) const {
    // Compared unit by unit, without copies: tests build folders of thousands of entries.
    const auto sameName = [&childName](const std::wstring& name) {
      return name.size() == childName.size() &&
             std::equal(name.begin(), name.end(), childName.begin(), [](wchar_t a, wchar_t b) {
               return std::towlower(static_cast<wint_t>(a)) ==
                      std::towlower(static_cast<wint_t>(b));
             });
    };
    for (const auto& node : children) {
      if (sameName(node->name)) return node.get();
    }
    return nullptr;
  }
  DirEntry entry() const {
    return DirEntry{name, attributes, reparseTag, isFolder() ? 0 : size, lastWriteTime, id};
  }
  // Takes the node out of its folder; it lives on while a held folder refers to it, and is gone
  // on return otherwise.
  void detach() {
    Node* folder = std::exchange(parent, nullptr);
    auto& siblings = folder->children;
    const auto found = std::find_if(siblings.begin(), siblings.end(),
                                    [this](const auto& node) { return node.get() == this; });
    const std::shared_ptr<Node> last = std::move(*found);
    siblings.erase(found);
  }
  std::shared_ptr<Node> shared() const {
    if (!parent) return nullptr;
    for (const auto& node : parent->children) {
      if (node.get() == this) return node;
    }
    return nullptr;
  }
};

struct FakeFileSystem::Lookup {
  StatusOutcome outcome;
  Node* node;
};

FakeFileSystem::FakeFileSystem() : root_(std::make_shared<Node>()) {
  root_->attributes = kAttributeDirectory;
  root_->id = nextId_++;
}

FakeFileSystem::~FakeFileSystem() = default;

FakeFileSystem::Lookup FakeFileSystem::find(const std::wstring& path, bool followLast, int hops) {
  if (hops > kMaxLinkHops) return {StatusOutcome::Failed, nullptr};
  const std::vector<std::wstring> parts = splitPath(path);
  if (parts.empty()) return {StatusOutcome::NotFound, nullptr};

  Node* node = root_.get();
  for (size_t i = 0; i < parts.size(); ++i) {
    if (!node->isFolder()) return {StatusOutcome::NotFound, nullptr};
    Node* next = node->child(parts[i]);
    if (!next) return {StatusOutcome::NotFound, nullptr};
    const bool last = i + 1 == parts.size();
    if (!next->aliasOf.empty() || (next->isLink() && (!last || followLast))) {
      // An alias is always gone through; a link on the way always, the last one when asked.
      std::wstring resolved = next->aliasOf.empty() ? next->target : next->aliasOf;
      for (size_t j = i + 1; j < parts.size(); ++j) resolved = joinPath(resolved, parts[j]);
      return find(resolved, followLast, hops + 1);
    }
    node = next;
  }
  return {StatusOutcome::Found, node};
}

FakeFileSystem::Node& FakeFileSystem::create(const std::wstring& path, uint32_t attributes) {
  Node* node = root_.get();
  for (const std::wstring& part : splitPath(path)) {
    Node* next = node->child(part);
    if (!next) {
      auto created = std::make_shared<Node>();
      created->name = part;
      created->attributes = kAttributeDirectory;
      created->id = nextId_++;
      created->parent = node;
      next = created.get();
      node->children.push_back(std::move(created));
    }
    node = next;
  }
  node->attributes = attributes;
  return *node;
}

FakeFileSystem::Node* FakeFileSystem::existing(const std::wstring& path) {
  const Lookup found = find(path, /*followLast=*/false, 0);
  return found.outcome == StatusOutcome::Found ? found.node : nullptr;
}

void FakeFileSystem::addFolder(const std::wstring& path, uint32_t extraAttributes) {
  std::lock_guard guard(lock_);
  create(path, kAttributeDirectory | extraAttributes);
}

void FakeFileSystem::addFile(const std::wstring& path, int64_t size, int64_t lastWriteTime,
                             uint32_t extraAttributes) {
  std::lock_guard guard(lock_);
  Node& node = create(path, kAttributeArchive | extraAttributes);
  node.size = size;
  node.lastWriteTime = lastWriteTime;
}

void FakeFileSystem::addSymlink(const std::wstring& path, const std::wstring& target,
                                bool folderLink) {
  std::lock_guard guard(lock_);
  Node& node =
      create(path, kAttributeReparsePoint | (folderLink ? kAttributeDirectory : kAttributeArchive));
  node.reparseTag = kReparseTagSymlink;
  node.target = target;
}

void FakeFileSystem::addJunction(const std::wstring& path, const std::wstring& target) {
  std::lock_guard guard(lock_);
  Node& node = create(path, kAttributeReparsePoint | kAttributeDirectory);
  node.reparseTag = kReparseTagMountPoint;
  node.target = target;
}

void FakeFileSystem::addReparsePoint(const std::wstring& path, uint32_t tag, bool folder,
                                     int64_t size) {
  std::lock_guard guard(lock_);
  Node& node =
      create(path, kAttributeReparsePoint | (folder ? kAttributeDirectory : kAttributeArchive));
  node.reparseTag = tag;
  node.size = size;
}

void FakeFileSystem::addAlias(const std::wstring& path, const std::wstring& target) {
  std::lock_guard guard(lock_);
  Node& node = create(path, kAttributeDirectory);
  node.aliasOf = target;
}

FakeFileSystem::Node* FakeFileSystem::throughAliases(Node* node) {
  if (!node || node->aliasOf.empty()) return node;
  const Lookup found = find(node->aliasOf, /*followLast=*/false, 0);
  return found.outcome == StatusOutcome::Found ? found.node : nullptr;
}

std::wstring FakeFileSystem::pathOf(const Node& node) const {
  std::wstring path;
  for (const Node* at = &node; at && at->parent; at = at->parent) {
    path.insert(0, at->name);
    path.insert(0, 1, L'\\');
  }
  return std::wstring(kExtendedPrefix.substr(0, kExtendedPrefix.size() - 1)) + path;
}

void FakeFileSystem::denyAccess(const std::wstring& folder) {
  std::lock_guard guard(lock_);
  if (Node* node = existing(folder)) node->denied = true;
}

void FakeFileSystem::failListingAfter(const std::wstring& folder, size_t entries) {
  std::lock_guard guard(lock_);
  if (Node* node = existing(folder)) node->failAfter = entries;
}

void FakeFileSystem::holdDeleteRightElsewhere(const std::wstring& folder) {
  std::lock_guard guard(lock_);
  if (Node* node = existing(folder)) node->deleteHeldElsewhere = true;
}

void FakeFileSystem::setInUse(const std::wstring& file, bool inUse) {
  std::lock_guard guard(lock_);
  if (Node* node = existing(file)) node->inUse = inUse;
}

bool FakeFileSystem::erase(const std::wstring& path) {
  std::lock_guard guard(lock_);
  Node* node = existing(path);
  if (!node || !node->parent || node->pins > 0) return false;
  node->detach();
  return true;
}

bool FakeFileSystem::replace(const std::wstring& path, const std::wstring& target, bool junction) {
  std::lock_guard guard(lock_);
  Node* node = existing(path);
  if (!node || !node->parent || node->pins > 0) return false;
  Node& folder = *node->parent;
  auto replacement = std::make_shared<Node>();
  replacement->name = node->name;
  replacement->attributes = kAttributeDirectory | (junction ? kAttributeReparsePoint : 0);
  replacement->reparseTag = junction ? kReparseTagMountPoint : 0;
  (junction ? replacement->target : replacement->aliasOf) = target;
  replacement->id = nextId_++;
  replacement->parent = &folder;
  node->detach();
  folder.children.push_back(std::move(replacement));
  return true;
}

bool FakeFileSystem::replaceWithJunction(const std::wstring& path, const std::wstring& target) {
  return replace(path, target, /*junction=*/true);
}

bool FakeFileSystem::replaceWithFollowedLink(const std::wstring& path, const std::wstring& target) {
  return replace(path, target, /*junction=*/false);
}

void FakeFileSystem::setListingHook(ListingHook hook) {
  std::lock_guard guard(lock_);
  hook_ = std::move(hook);
}

void FakeFileSystem::setLookupHook(LookupHook hook) {
  std::lock_guard guard(lock_);
  lookupHook_ = std::move(hook);
}

uint64_t FakeFileSystem::idOf(const std::wstring& path) {
  std::lock_guard guard(lock_);
  const Node* node = throughAliases(existing(path));
  return node ? node->id : 0;
}

bool FakeFileSystem::exists(const std::wstring& path) {
  std::lock_guard guard(lock_);
  return existing(path) != nullptr;
}

std::vector<std::wstring> FakeFileSystem::openedFolders() {
  std::lock_guard guard(lock_);
  return opened_;
}

std::unique_ptr<FolderListing> FakeFileSystem::listing(const Node& folder,
                                                       const std::wstring& path) {
  // Called with the lock held.
  if (!folder.isFolder() || folder.denied) return nullptr;
  std::vector<DirEntry> entries;
  entries.reserve(folder.children.size());
  for (const auto& child : folder.children) {
    // An alias lists as the folder it is another name for.
    const Node* shown = throughAliases(child.get());
    entries.push_back(shown ? shown->entry() : child->entry());
    entries.back().name = child->name;
  }
  return std::make_unique<FakeListing>(path, std::move(entries), folder.failAfter, hook_);
}

std::unique_ptr<FolderListing> FakeFileSystem::openFolder(const std::wstring& path) {
  std::lock_guard guard(lock_);
  opened_.push_back(path);
  const Lookup found = find(path, /*followLast=*/true, 0);
  if (found.outcome != StatusOutcome::Found) return nullptr;
  return listing(*found.node, path);
}

FileStatus FakeFileSystem::status(const std::wstring& path, bool followLinks) {
  std::lock_guard guard(lock_);
  const Lookup found = find(path, followLinks, 0);
  if (found.outcome != StatusOutcome::Found) return FileStatus{found.outcome};
  const DirEntry entry = found.node->entry();
  return FileStatus{StatusOutcome::Found, entry.attributes, entry.reparseTag, entry.size,
                    entry.lastWriteTime};
}

FsError FakeFileSystem::removeFile(const std::wstring& path) {
  std::lock_guard guard(lock_);
  const Lookup found = find(path, /*followLast=*/false, 0);
  if (found.outcome == StatusOutcome::NotFound) return FsError::NotFound;
  if (found.outcome != StatusOutcome::Found || found.node == root_.get()) return FsError::Other;
  Node& node = *found.node;
  if (node.isFolder() || (node.attributes & kAttributeReadOnly) != 0) return FsError::AccessDenied;
  if (node.inUse) return FsError::InUse;
  node.detach();
  return FsError::None;
}

FsError FakeFileSystem::removeFolder(const std::wstring& path) {
  std::lock_guard guard(lock_);
  const Lookup found = find(path, /*followLast=*/false, 0);
  if (found.outcome == StatusOutcome::NotFound) return FsError::NotFound;
  if (found.outcome != StatusOutcome::Found || found.node == root_.get()) return FsError::Other;
  Node& node = *found.node;
  if (!node.isFolder()) return FsError::Other;
  if (!node.isLink()) {
    if (node.denied || (node.attributes & kAttributeReadOnly) != 0) return FsError::AccessDenied;
    if (!node.children.empty()) return FsError::NotEmpty;
  }
  node.detach();  // a link goes as the link; its target is untouched
  return FsError::None;
}

FsError FakeFileSystem::setAttributes(const std::wstring& path, uint32_t attributes) {
  std::lock_guard guard(lock_);
  const Lookup found = find(path, /*followLast=*/false, 0);
  if (found.outcome == StatusOutcome::NotFound) return FsError::NotFound;
  if (found.outcome != StatusOutcome::Found) return FsError::Other;
  Node& node = *found.node;
  node.attributes = (node.attributes & ~kSettableAttributes) | (attributes & kSettableAttributes);
  return FsError::None;
}

// A held folder refers to its node, not to its path: moving or replacing the path does not change
// what it lists or removes.
class FakeFileSystem::HeldNode final : public HeldFolder {
 public:
  HeldNode(FakeFileSystem& owner, std::shared_ptr<Node> node, std::wstring path)
      : owner_(owner), node_(std::move(node)), path_(std::move(path)) {}

  std::unique_ptr<FolderListing> list() override {
    std::lock_guard guard(owner_.lock_);
    owner_.opened_.push_back(path_);
    return owner_.listing(*node_, path_);
  }

  Hold holdChild(const DirEntry& listed) override { return open(listed, /*pin=*/false); }

  // The fake keeps no access rights: passing is holding.
  Hold passChild(const DirEntry& listed) override { return open(listed, /*pin=*/false); }

  Hold pinChild(const DirEntry& listed) override { return open(listed, /*pin=*/true); }

  StatusOutcome lookup(const std::wstring& name, DirEntry& entry) override {
    LookupHook hook;
    StatusOutcome outcome = StatusOutcome::NotFound;
    {
      std::lock_guard guard(owner_.lock_);
      hook = owner_.lookupHook_;
      if (node_->denied) return StatusOutcome::Failed;
      Node* child = node_->child(name);
      if (Node* target = owner_.throughAliases(child)) {
        entry = target->entry();
        entry.name = child->name;
        outcome = StatusOutcome::Found;
      } else if (name.ends_with(L'.') &&
                 node_->child(name.substr(0, name.find_last_not_of(L'.') + 1))) {
        // As Wine's lookup: a name ending in a dot that is not there matches its name without
        // the dot, an answer that cannot be trusted.
        outcome = StatusOutcome::Failed;
      }
    }
    if (hook) hook(path_, name);
    return outcome;
  }

  std::optional<FileId> identity() override {
    std::lock_guard guard(owner_.lock_);
    return FileId{1, node_->id, 0};
  }

  ~HeldNode() override {
    std::lock_guard guard(owner_.lock_);
    node_->pins -= pinned_ ? 1 : 0;
    if (deleteOnRelease_ && node_->parent && node_->children.empty()) node_->detach();
  }

  void pin() { pinned_ = true, ++node_->pins; }

  // The entry goes as itself; through an alias, the open reaches (and removes) its folder, as
  // Wine's does through a Linux link, unless the id check refuses it.
  FsError removeChild(const DirEntry& listed) override {
    std::lock_guard guard(owner_.lock_);
    Node* child = node_->child(listed.name);
    Node* opened = owner_.throughAliases(child);
    if (!opened) return FsError::NotFound;
    if (opened->id != listed.fileId) return FsError::Changed;
    return owner_.removeNode(*opened);
  }

  // As on Windows, a folder marked for deletion through a handle goes when the handle is let go.
  FsError removeSelf() override {
    std::lock_guard guard(owner_.lock_);
    if (!node_->parent) return node_->children.empty() ? FsError::None : FsError::NotEmpty;
    const FsError error = owner_.removableNode(*node_);
    deleteOnRelease_ = error == FsError::None;
    return error;
  }

 private:
  // Opens the listed entry through this folder, as the Win32 folder does: the id must agree.
  Hold open(const DirEntry& listed, bool pin) {
    std::lock_guard guard(owner_.lock_);
    Node* opened = owner_.throughAliases(node_->child(listed.name));
    if (!opened) return Hold{HoldOutcome::Missing};
    if (opened->id != listed.fileId) return Hold{HoldOutcome::Failed, nullptr, FsError::Changed};
    if (pin && opened->deleteHeldElsewhere)
      return Hold{HoldOutcome::Failed, nullptr, FsError::InUse};
    Hold hold = owner_.hold(opened->shared(), joinPath(path_, listed.name));
    if (pin && hold.folder) static_cast<HeldNode&>(*hold.folder).pin();
    return hold;
  }

  FakeFileSystem& owner_;
  std::shared_ptr<Node> node_;
  std::wstring path_;
  bool pinned_ = false;
  bool deleteOnRelease_ = false;
};

Hold FakeFileSystem::hold(const std::shared_ptr<Node>& node, std::wstring path) {
  if (!node) return Hold{HoldOutcome::Missing};
  if (!node->isFolder() || (node->attributes & kAttributeReparsePoint) != 0) {
    return Hold{HoldOutcome::NotPlainFolder};
  }
  if (node->denied) return Hold{HoldOutcome::Failed, nullptr, FsError::AccessDenied};
  return Hold{HoldOutcome::Held, std::make_unique<HeldNode>(*this, node, std::move(path))};
}

// Whether `node` can be removed as itself, as Windows decides for a handle opened without
// following links.
FsError FakeFileSystem::removableNode(const Node& node) const {
  if (&node == root_.get()) return FsError::Other;
  const bool plainFolder = node.isFolder() && (node.attributes & kAttributeReparsePoint) == 0;
  if (plainFolder && node.denied) return FsError::AccessDenied;
  if (plainFolder && !node.children.empty()) return FsError::NotEmpty;
  if (node.inUse || node.pins > 0) return FsError::InUse;
  return FsError::None;
}

FsError FakeFileSystem::removeNode(Node& node) {
  const FsError error = removableNode(node);
  if (error == FsError::None && node.parent) node.detach();  // a link goes as the link
  return error;
}

Hold FakeFileSystem::holdFolder(const std::wstring& path) {
  std::lock_guard guard(lock_);
  const Lookup found = find(path, /*followLast=*/false, 0);
  if (found.outcome == StatusOutcome::NotFound) return Hold{HoldOutcome::Missing};
  if (found.outcome != StatusOutcome::Found || found.node == root_.get()) {
    return Hold{HoldOutcome::Failed, nullptr, FsError::Other};
  }
  return hold(found.node->shared(), path);
}

Hold FakeFileSystem::holdVolumeRoot(const std::wstring& root) {
  std::lock_guard guard(lock_);
  const Lookup found = find(root, /*followLast=*/false, 0);
  if (found.outcome == StatusOutcome::NotFound) return Hold{HoldOutcome::Missing};
  if (found.outcome != StatusOutcome::Found || !found.node->isFolder()) {
    return Hold{HoldOutcome::Failed, nullptr, FsError::Other};
  }
  if (found.node->denied) return Hold{HoldOutcome::Failed, nullptr, FsError::AccessDenied};
  return Hold{HoldOutcome::Held,
              std::make_unique<HeldNode>(*this, found.node->shared(), std::wstring(root))};
}

std::optional<std::wstring> FakeFileSystem::finalPath(const std::wstring& path) {
  std::lock_guard guard(lock_);
  const Lookup found = find(path, /*followLast=*/true, 0);
  if (found.outcome != StatusOutcome::Found) return std::nullopt;
  return pathOf(*found.node);
}

FsError FakeFileSystem::removeEntry(const std::wstring& path) {
  std::lock_guard guard(lock_);
  const Lookup found = find(path, /*followLast=*/false, 0);
  if (found.outcome == StatusOutcome::NotFound) return FsError::NotFound;
  if (found.outcome != StatusOutcome::Found) return FsError::Other;
  return removeNode(*found.node);
}

}  // namespace tidvale::fs
