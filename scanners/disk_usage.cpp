#include "scanners/disk_usage.h"

#include "core/saturating.h"

#include <algorithm>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "core/progress.h"
#include "fs/path_text.h"
#include "fs/walker.h"
#include "fs/walker_parallel.h"

namespace tidvale {
namespace {

struct DiskNode {
  std::string name;
  std::string path;
  int64_t size = 0;
  int64_t files = 0;
  bool isDir = false;
  // Transparent comparison: a file's components are looked up as views, with no copy.
  std::map<std::wstring, std::unique_ptr<DiskNode>, std::less<>> children;

  void add(int64_t bytes) {
    size = addSize(size, bytes);
    files += 1;
  }
};

EncodableMap otherNodeMap(int64_t foldedBytes) {
  return EncodableMap{
      {EncodableValue("name"), EncodableValue(kDiskOtherName)},
      {EncodableValue("path"), EncodableValue("")},
      {EncodableValue("size"), EncodableValue(foldedBytes)},
      {EncodableValue("files"), EncodableValue(int64_t{0})},
      {EncodableValue("isDir"), EncodableValue(false)},
      {EncodableValue("children"), EncodableValue(EncodableList{})},
      {EncodableValue("isOther"), EncodableValue(true)},
  };
}

EncodableMap nodeMap(const DiskNode& node) {
  std::vector<const DiskNode*> children;
  children.reserve(node.children.size());
  for (const auto& entry : node.children) children.push_back(entry.second.get());
  // Stable: children of equal size keep their name order, so replies are repeatable.
  std::stable_sort(children.begin(), children.end(),
                   [](const DiskNode* a, const DiskNode* b) { return a->size > b->size; });
  int64_t folded = 0;
  if (children.size() > kDiskChildLimit) {
    for (size_t i = kDiskChildLimit; i < children.size(); ++i)
      folded = addSize(folded, children[i]->size);
    children.resize(kDiskChildLimit);
  }
  EncodableList childMaps;
  childMaps.reserve(children.size() + 1);
  for (const DiskNode* child : children) childMaps.emplace_back(nodeMap(*child));
  if (folded > 0) childMaps.emplace_back(otherNodeMap(folded));

  return EncodableMap{
      {EncodableValue("name"), EncodableValue(node.name)},
      {EncodableValue("path"), EncodableValue(node.path)},
      {EncodableValue("size"), EncodableValue(node.size)},
      {EncodableValue("files"), EncodableValue(node.files)},
      {EncodableValue("isDir"), EncodableValue(node.isDir)},
      {EncodableValue("children"), EncodableValue(std::move(childMaps))},
  };
}

class DiskTreeBuilder {
 public:
  DiskTreeBuilder(const std::string& rootText, const std::wstring& root, int32_t depth,
                  Utf8Converter toUtf8)
      : rootLength_(root.size()), depth_(depth), toUtf8_(toUtf8) {
    root_.name = rootText;
    root_.path = rootText;
    root_.isDir = true;
  }

  // `path` is the root as given followed by the file's components. The walk gives a folder's
  // files one after another, so the nodes of the last file's folder are kept and reused while the
  // text before the file's name is the same.
  void addFile(const std::wstring& path, int64_t bytes) {
    root_.add(bytes);
    const size_t nameStart = path.find_last_of(L"\\/") + 1;  // 0 when there is no separator
    const std::wstring_view folder = std::wstring_view(path).substr(0, nameStart);
    if (folderText_.empty() || folder != folderText_ || nameStart == path.size()) {
      walkDown(path, bytes, nameStart);
      return;
    }
    for (DiskNode* node : folderNodes_) node->add(bytes);
    if (static_cast<int32_t>(folderNodes_.size()) < depth_) {
      DiskNode& parent = folderNodes_.empty() ? root_ : *folderNodes_.back();
      child(parent, std::wstring_view(path).substr(nameStart), path, false).add(bytes);
    }
  }

  // A file that no path can name (its name holds a separator), counted in `folder`, the path of
  // the folder holding it, and in every node above: it gets no node of its own.
  void addToFolder(const std::wstring& folder, int64_t bytes) {
    root_.add(bytes);
    addAlong(folder, bytes, /*lastIsName=*/false);
    folderNodes_.clear();
  }

  const DiskNode& root() const { return root_; }

 private:
  // Adds the file to a node per component down to the depth, and keeps its folder's nodes (those
  // of the components before the name) for the files that follow when the name can be told apart.
  void walkDown(const std::wstring& path, int64_t bytes, size_t nameStart) {
    addAlong(path, bytes, /*lastIsName=*/true);
    // A path whose last component is not a name below the root keeps nothing.
    if (nameStart < rootLength_ || nameStart == path.size()) {
      folderNodes_.clear();
      return;
    }
    folderText_.assign(path, 0, nameStart);
  }

  // Adds `bytes` to a node per component of `path` below the root, down to the depth, and keeps
  // the folders' nodes in folderNodes_. Every component is a folder, except the last when
  // `lastIsName` (the file's own name).
  void addAlong(const std::wstring& path, int64_t bytes, bool lastIsName) {
    folderText_.clear();
    folderNodes_.clear();
    std::wstring_view rest = std::wstring_view(path).substr(std::min(rootLength_, path.size()));
    DiskNode* current = &root_;
    for (int32_t level = 0; level < depth_; ++level) {
      while (!rest.empty() && fs::isSeparator(rest.front())) rest.remove_prefix(1);
      if (rest.empty()) break;
      const size_t end = std::min(rest.find_first_of(L"\\/"), rest.size());
      const std::wstring_view component = rest.substr(0, end);
      rest.remove_prefix(end);
      const bool last = lastIsName && rest.find_first_not_of(L"\\/") == std::wstring_view::npos;
      const std::wstring_view prefix = std::wstring_view(path).substr(0, path.size() - rest.size());
      current = &child(*current, component, prefix, !last);
      current->add(bytes);
      if (!last) folderNodes_.push_back(current);
    }
  }

  DiskNode& child(DiskNode& parent, std::wstring_view component, std::wstring_view path,
                  bool isDir) {
    const auto found = parent.children.find(component);
    if (found != parent.children.end()) return *found->second;
    auto node = std::make_unique<DiskNode>();
    node->name = toUtf8_(component);
    node->path = toUtf8_(path);
    node->isDir = isDir;
    DiskNode& created = *node;
    parent.children.emplace(std::wstring(component), std::move(node));
    return created;
  }

  size_t rootLength_;
  int32_t depth_;
  Utf8Converter toUtf8_;
  DiskNode root_;
  // The text of the last walked file's folder (up to and with its last separator) and the nodes
  // of that folder's components, root excluded; empty text matches no file.
  std::wstring folderText_;
  std::vector<DiskNode*> folderNodes_;
};

}  // namespace

EncodableMap runDiskAnalysis(ServiceState& state, fs::FileSystem& fileSystem,
                             const std::string& rootText, const std::wstring& root, int32_t depth,
                             Utf8Converter toUtf8) {
  DiskTreeBuilder tree(rootText, root, depth, toUtf8);
  uint64_t counted = 0;
  // Reparse points of every kind (links, cloud placeholders) are left out, files included.
  const fs::EnterRule enter = [](const fs::DirEntry& entry, fs::EntryKind kind) {
    return (entry.attributes & fs::kAttributeReparsePoint) == 0 && kind == fs::EntryKind::Folder;
  };
  fs::walkTreeInOrder(fileSystem, root, state.cancelFlag, enter, [&](const fs::WalkEntry& item) {
    if ((item.entry.attributes & fs::kAttributeReparsePoint) != 0) return;
    if (item.kind != fs::EntryKind::File) return;
    if (item.pathNamesEntry) {
      tree.addFile(item.path, item.entry.size);
    } else {
      tree.addToFolder(item.path, item.entry.size);
    }
    if (++counted % kDiskProgressInterval == 0) {
      emitProgress(state, kDiskProgressTask, toUtf8(item.path), counted,
                   static_cast<uint64_t>(tree.root().size), false);
    }
  });
  emitProgress(state, kDiskProgressTask, "", counted, static_cast<uint64_t>(tree.root().size),
               true);

  EncodableMap reply = nodeMap(tree.root());
  reply[EncodableValue("cancelled")] = EncodableValue(state.cancelled());
  reply[EncodableValue("scanned")] = EncodableValue(tree.root().files);
  return reply;
}

}  // namespace tidvale
