#include "fs/path_resolver.h"

#include <algorithm>

#include "fs/extended_path.h"

namespace tidvale::fs {
namespace {

constexpr std::wstring_view kReservedUnits = L"*?\"<>|:";
constexpr wchar_t kFirstPrintableUnit = L' ';
constexpr std::wstring_view kUncBody = L"UNC\\";

bool isDriveLetter(wchar_t unit) {
  return (unit >= L'A' && unit <= L'Z') || (unit >= L'a' && unit <= L'z');
}

bool holdsReservedUnit(std::wstring_view text) {
  return std::any_of(text.begin(), text.end(), [](wchar_t unit) {
    return unit < kFirstPrintableUnit || kReservedUnits.find(unit) != std::wstring_view::npos;
  });
}

// Splits `rest` on '\'. Empty components are refused, except one left by a trailing separator.
std::optional<std::vector<std::wstring>> splitComponents(std::wstring_view rest) {
  std::vector<std::wstring> components;
  while (!rest.empty()) {
    const size_t end = std::min(rest.find(L'\\'), rest.size());
    const std::wstring_view component = rest.substr(0, end);
    if (component.empty() || component == L"." || component == L"..") return std::nullopt;
    components.emplace_back(component);
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  return components;
}

// Reads "\\?\X:\..." or "\\?\UNC\server\share\...", taken verbatim.
std::optional<TargetText> readExtended(std::wstring_view path) {
  if (!path.starts_with(kExtendedPrefix)) return std::nullopt;
  std::wstring_view body = path.substr(kExtendedPrefix.size());
  if (body.find(L'/') != std::wstring_view::npos) return std::nullopt;
  size_t rootLength = 0;
  if (body.size() >= 2 && isDriveLetter(body[0]) && body[1] == L':') {
    if (body.size() > 2 && body[2] != L'\\') return std::nullopt;
    rootLength = 2;
  } else if (body.starts_with(kUncBody)) {
    const size_t serverEnd = std::min(body.find(L'\\', kUncBody.size()), body.size());
    const size_t shareEnd = std::min(body.find(L'\\', serverEnd + 1), body.size());
    if (serverEnd == kUncBody.size() || shareEnd <= serverEnd + 1) return std::nullopt;
    if (holdsReservedUnit(body.substr(kUncBody.size(), shareEnd - kUncBody.size()))) {
      return std::nullopt;
    }
    rootLength = shareEnd;
  } else {
    return std::nullopt;  // GLOBALROOT, volume names and other device paths
  }
  if (holdsReservedUnit(body.substr(rootLength))) return std::nullopt;

  std::wstring_view rest = body.substr(rootLength);
  if (!rest.empty()) rest.remove_prefix(1);  // the root's separator
  std::optional<std::vector<std::wstring>> components = splitComponents(rest);
  if (!components) return std::nullopt;
  std::wstring root(path.substr(0, kExtendedPrefix.size() + rootLength));
  root.push_back(L'\\');
  return TargetText{std::move(root), std::move(*components)};
}

// Fills `result` for a lookup that did not find the entry; false when it did.
bool missedEntry(StatusOutcome found, ResolvedEntry& result) {
  if (found == StatusOutcome::Found) return false;
  result.outcome =
      found == StatusOutcome::NotFound ? ResolveOutcome::Missing : ResolveOutcome::Refused;
  result.refusal = found == StatusOutcome::NotFound ? Refusal::None : Refusal::Unreadable;
  return true;
}

// Fills `result` for a folder that is gone or could not be opened; false otherwise.
bool lostFolder(HoldOutcome outcome, ResolvedEntry& result) {
  if (outcome == HoldOutcome::Missing) {
    result.outcome = ResolveOutcome::Missing;
    return true;
  }
  if (outcome == HoldOutcome::Failed) {
    result.refusal = Refusal::Unreadable;
    return true;
  }
  return false;
}

}  // namespace

std::optional<TargetText> readTargetText(std::wstring_view path) {
  if (path.empty() || path.find(L'\0') != std::wstring_view::npos) return std::nullopt;
  if (!isFullyQualified(path)) return std::nullopt;
  if (hasDevicePrefix(path)) return readExtended(path);
  // Win32's own reading: '/' as '\', "." and ".." resolved, nothing else rewritten.
  const auto noCurrentFolder = [](std::wstring_view) { return std::optional<std::wstring>(); };
  const std::optional<std::wstring> extended = extendedPath(path, noCurrentFolder);
  if (!extended) return std::nullopt;
  return readExtended(*extended);
}

PathResolver::PathResolver(FileSystem& fileSystem, std::set<FileId> protectedIds, bool pinTheWay)
    : fileSystem_(fileSystem), protectedIds_(std::move(protectedIds)), pinTheWay_(pinTheWay) {}

void PathResolver::release() {
  steps_.clear();
  root_.reset();
  rootText_.clear();
  lastFolder_ = FolderEntries{};
}

std::shared_ptr<HeldFolder> PathResolver::heldRoot(const std::wstring& root,
                                                   ResolvedEntry& result) {
  if (root_ && rootText_ == root) return root_;
  release();
  Hold hold = fileSystem_.holdVolumeRoot(root);
  if (lostFolder(hold.outcome, result)) return nullptr;
  rootText_ = root;
  root_ = std::move(hold.folder);
  return root_;
}

StatusOutcome PathResolver::lookupTarget(const std::shared_ptr<HeldFolder>& folder,
                                         const std::wstring& name, DirEntry& entry) {
  if (lastFolder_.folder.lock() != folder) {
    lastFolder_ = FolderEntries{};
    lastFolder_.folder = folder;
  }
  if (!lastFolder_.listed && ++lastFolder_.lookups > 1) {
    lastFolder_.listed = true;
    if (std::unique_ptr<FolderListing> listing = folder->list()) {
      DirEntry listed;
      while (listing->next(listed) == ListStep::Entry) {
        std::wstring key = listed.name;
        lastFolder_.byName.insert_or_assign(std::move(key), std::move(listed));
      }
    }
  }
  const auto found = lastFolder_.byName.find(name);
  if (found == lastFolder_.byName.end()) return folder->lookup(name, entry);
  entry = found->second;
  return StatusOutcome::Found;
}

ResolvedEntry PathResolver::resolve(std::wstring_view path) {
  ResolvedEntry result;
  const std::optional<TargetText> text = readTargetText(path);
  if (!text) {
    result.refusal = Refusal::Text;
    return result;
  }
  if (text->components.empty()) {
    result.refusal = Refusal::Protected;  // a volume or share root
    return result;
  }
  std::shared_ptr<HeldFolder> folder = heldRoot(text->root, result);
  if (!folder) return result;

  // Folders on the way: those the last resolution held are kept while the names agree.
  const size_t onTheWay = text->components.size() - 1;
  size_t kept = 0;
  while (kept < std::min(onTheWay, steps_.size()) && steps_[kept].name == text->components[kept]) {
    ++kept;
  }
  steps_.resize(kept);
  if (kept > 0) folder = steps_.back().folder;

  DirEntry entry;
  for (size_t i = kept; i < onTheWay; ++i) {
    const std::wstring& name = text->components[i];
    if (missedEntry(folder->lookup(name, entry), result)) return result;
    if ((entry.attributes & kAttributeReparsePoint) != 0) {
      result.refusal = Refusal::LinkOnTheWay;
      return result;
    }
    if ((entry.attributes & kAttributeDirectory) == 0) {
      result.outcome = ResolveOutcome::Missing;  // a file cannot hold the rest of the path
      return result;
    }
    Hold hold =
        pinTheWay_ ? folder->pinChild(entry) : Hold{HoldOutcome::Failed, nullptr, FsError::InUse};
    const bool pinned = hold.outcome != HoldOutcome::Failed || hold.error != FsError::InUse;
    if (!pinned) hold = folder->passChild(entry);
    if (lostFolder(hold.outcome, result)) return result;
    if (hold.outcome == HoldOutcome::NotPlainFolder) {
      result.refusal = Refusal::LinkOnTheWay;  // it shows a reparse point through its handle
      return result;
    }
    folder = std::move(hold.folder);
    steps_.push_back({name, entry.name, folder, pinned});
  }

  if (missedEntry(lookupTarget(folder, text->components.back(), entry), result)) return result;
  if (isPlainFolderEntry(entry)) {
    // A folder is held, and refused when it is protected under whatever name reached it. One
    // replaced by a link since it was listed is not held: it goes as itself.
    Hold hold = folder->holdChild(entry);
    if (lostFolder(hold.outcome, result)) return result;
    if (hold.outcome == HoldOutcome::Held) {
      const std::optional<FileId> id = hold.folder->identity();
      if (!id || protectedIds_.contains(*id)) {
        result.refusal = id ? Refusal::Protected : Refusal::Unreadable;
        return result;
      }
      result.folder = std::move(hold.folder);
    }
  }
  result.outcome = ResolveOutcome::Found;
  result.parent = std::move(folder);
  result.pinned =
      std::all_of(steps_.begin(), steps_.end(), [](const Step& step) { return step.pinned; });
  result.path = text->root;
  for (const Step& step : steps_) result.path.append(step.listedName).push_back(L'\\');
  result.path.append(entry.name);
  result.listed = std::move(entry);
  return result;
}

}  // namespace tidvale::fs
