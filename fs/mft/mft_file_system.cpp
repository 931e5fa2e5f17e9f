#include "fs/mft/mft_file_system.h"

#include <algorithm>
#include <cwctype>
#include <string_view>
#include <vector>

#include "fs/extended_path.h"
#include "fs/path_text.h"

namespace tidvale::fs::mft {
namespace {

bool sameUnits(std::u16string_view stored, std::wstring_view given) {
  if (stored.size() != given.size()) return false;
  for (size_t i = 0; i < stored.size(); ++i) {
    if (static_cast<wchar_t>(stored[i]) != given[i]) return false;
  }
  return true;
}

bool isDotComponent(std::wstring_view component) {
  return component == L"." || component == L"..";
}

bool holdsSeparator(std::u16string_view name) {
  return name.find_first_of(u"\\/") != std::u16string_view::npos;
}

void fillFigures(const MftRecord& record, DirEntry& entry) {
  entry.attributes = record.attributes;
  entry.reparseTag = (record.attributes & kAttributeReparsePoint) != 0 ? record.reparseTag : 0;
  entry.size = record.size;
  entry.lastWriteTime = record.lastWriteTime;
}

class MftListing final : public FolderListing {
 public:
  MftListing(MftFileSystem& fileSystem, std::wstring folder, std::vector<uint32_t> names)
      : fileSystem_(fileSystem), folder_(std::move(folder)), names_(std::move(names)) {
    // The length of a path below this folder, its name left out.
    joinedLength_ = folder_.size() + (folder_.empty() || isSeparator(folder_.back()) ? 0 : 1);
  }

  ListStep next(DirEntry& entry) override {
    const MftIndex& index = fileSystem_.index();
    while (true) {
      if (!unnamed_.empty()) {
        if (nextUnnamed(index, entry)) return ListStep::Entry;
        continue;
      }
      if (position_ == names_.size()) return ListStep::End;
      const uint32_t nameIndex = names_[position_++];
      const MftName& name = index.name(nameIndex);
      const MftRecord& record = index.record(name.record);
      const std::u16string_view text = index.text(name);
      if (holdsSeparator(text) || joinedLength_ + text.size() > kLongestReportablePath) {
        unnamed_.push_back(nameIndex);
        continue;
      }
      // Unit by unit into the entry's own buffer: assigning from another character type would
      // build a temporary string, an allocation per entry.
      entry.name.resize(text.size());
      std::copy(text.begin(), text.end(), entry.name.begin());
      fillFigures(record, entry);
      if (record.isFolder()) fileSystem_.noteListedFolder(folder_, nameIndex);
      return ListStep::Entry;
    }
  }

 private:
  // Takes one entry that no path may name: a file becomes an entry without a name, so that its
  // bytes count in this folder and no path reports it; a folder gives way to its entries (links
  // and other reparse points not entered, as a walk leaves them).
  bool nextUnnamed(const MftIndex& index, DirEntry& entry) {
    const uint32_t nameIndex = unnamed_.back();
    unnamed_.pop_back();
    const MftRecord& record = index.record(index.name(nameIndex).record);
    if (record.isFolder()) {
      if ((record.attributes & kAttributeReparsePoint) == 0) {
        const std::span<const uint32_t> inside = index.children(index.name(nameIndex).record);
        unnamed_.insert(unnamed_.end(), inside.begin(), inside.end());
      }
      return false;
    }
    entry.name.clear();
    fillFigures(record, entry);
    entry.attributes |= kAttributeHidden | kAttributeSystem;  // never reported by a file walk
    return true;
  }

  MftFileSystem& fileSystem_;
  std::wstring folder_;
  std::vector<uint32_t> names_;
  size_t position_ = 0;
  size_t joinedLength_ = 0;
  std::vector<uint32_t> unnamed_;  // names still to expand below an unreportable entry
};

FileStatus statusOf(const MftRecord& record) {
  FileStatus status{StatusOutcome::Found, record.attributes};
  status.reparseTag = (record.attributes & kAttributeReparsePoint) != 0 ? record.reparseTag : 0;
  status.size = record.size;
  status.lastWriteTime = record.lastWriteTime;
  return status;
}

}  // namespace

MftFileSystem::MftFileSystem(std::shared_ptr<const MftIndex> index, std::wstring drive)
    : index_(std::move(index)), drive_(std::move(drive)) {}

std::unique_ptr<FolderListing> MftFileSystem::openFolder(const std::wstring& path) {
  uint32_t number = 0;
  if (const std::optional<uint32_t> hinted = hintedRecord(path)) {
    number = *hinted;
  } else if (resolve(path, number) != Lookup::Found) {
    return nullptr;
  }
  const MftRecord& record = index_->record(number);
  if (!record.isFolder() || isLink(classifyEntry(record.attributes, record.reparseTag))) {
    return nullptr;
  }
  const std::span<const uint32_t> children = index_->children(number);  // in collation order
  std::vector<uint32_t> names(children.begin(), children.end());
  return std::make_unique<MftListing>(*this, path, std::move(names));
}

FileStatus MftFileSystem::status(const std::wstring& path, bool followLinks) {
  uint32_t number = 0;
  if (resolve(path, number) != Lookup::Found) return FileStatus{StatusOutcome::NotFound};
  const MftRecord& record = index_->record(number);
  if (followLinks && isLink(classifyEntry(record.attributes, record.reparseTag))) {
    return FileStatus{StatusOutcome::Failed};  // its target is another volume's business
  }
  return statusOf(record);
}

FsError MftFileSystem::removeFile(const std::wstring&) {
  return FsError::AccessDenied;
}
FsError MftFileSystem::removeFolder(const std::wstring&) {
  return FsError::AccessDenied;
}
FsError MftFileSystem::setAttributes(const std::wstring&, uint32_t) {
  return FsError::AccessDenied;
}
Hold MftFileSystem::holdFolder(const std::wstring&) {
  return Hold{HoldOutcome::Failed, nullptr, FsError::AccessDenied};
}
FsError MftFileSystem::removeEntry(const std::wstring&) {
  return FsError::AccessDenied;
}
// Nothing is resolved for a removal here: the table is read for listings only.
Hold MftFileSystem::holdVolumeRoot(const std::wstring&) {
  return Hold{HoldOutcome::Failed, nullptr, FsError::AccessDenied};
}
std::optional<std::wstring> MftFileSystem::finalPath(const std::wstring&) {
  return std::nullopt;
}

std::optional<uint32_t> MftFileSystem::recordOf(const std::wstring& path) {
  uint32_t number = 0;
  if (resolve(path, number) != Lookup::Found) return std::nullopt;
  return number;
}

void MftFileSystem::noteListedFolder(const std::wstring& folder, uint32_t name) {
  std::lock_guard<std::mutex> lock(hintLock_);
  hintFolder_.assign(folder);
  hintName_ = name;
  hintSet_ = true;
}

std::optional<uint32_t> MftFileSystem::hintedRecord(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(hintLock_);
  if (!hintSet_ || path.compare(0, hintFolder_.size(), hintFolder_) != 0) return std::nullopt;
  std::wstring_view rest = std::wstring_view(path).substr(hintFolder_.size());
  if (!hintFolder_.empty() && !isSeparator(hintFolder_.back())) {
    if (rest.empty() || !isSeparator(rest.front())) return std::nullopt;
    rest.remove_prefix(1);
  }
  const MftName& name = index_->name(hintName_);
  if (!sameUnits(index_->text(name), rest)) return std::nullopt;
  return name.record;
}

MftFileSystem::Lookup MftFileSystem::resolve(const std::wstring& path, uint32_t& record) {
  std::wstring_view rest(path);
  if (rest.starts_with(kExtendedPrefix)) rest.remove_prefix(kExtendedPrefix.size());
  if (rest.size() < drive_.size()) return Lookup::OffVolume;
  for (size_t i = 0; i < drive_.size(); ++i) {
    if (std::towupper(static_cast<wint_t>(rest[i])) !=
        std::towupper(static_cast<wint_t>(drive_[i]))) {
      return Lookup::OffVolume;
    }
  }
  rest.remove_prefix(drive_.size());
  // "N:" alone or "N:name" names the drive's current folder, not its root.
  if (rest.empty() || !isSeparator(rest.front())) return Lookup::OffVolume;

  record = kRootRecord;
  while (!rest.empty()) {
    while (!rest.empty() && isSeparator(rest.front())) rest.remove_prefix(1);
    if (rest.empty()) break;
    const size_t end = std::min(rest.find_first_of(L"\\/"), rest.size());
    const std::wstring_view component = rest.substr(0, end);
    rest.remove_prefix(end);
    const MftRecord& folder = index_->record(record);
    if (isDotComponent(component) || !folder.isFolder() ||
        isLink(classifyEntry(folder.attributes, folder.reparseTag))) {
      return Lookup::NotFound;
    }
    const std::optional<uint32_t> child = childNamed(record, component);
    if (!child) return Lookup::NotFound;
    record = *child;
  }
  return Lookup::Found;
}

std::optional<uint32_t> MftFileSystem::childNamed(uint32_t folder,
                                                  std::wstring_view component) const {
  // The exact name first: names that differ only in case can stand side by side.
  std::optional<uint32_t> caseless;
  for (const uint32_t nameIndex : index_->children(folder)) {
    const MftName& name = index_->name(nameIndex);
    const std::u16string_view text = index_->text(name);
    if (sameUnits(text, component)) return name.record;
    if (caseless || text.size() != component.size()) continue;
    bool equal = true;
    for (size_t i = 0; i < text.size() && equal; ++i) {
      // Units beyond 16 bits (a 32-bit wchar_t) match nothing the volume stores.
      const uint32_t unit = static_cast<uint32_t>(component[i]);
      equal =
          unit <= 0xFFFF && index_->upcase(text[i]) == index_->upcase(static_cast<char16_t>(unit));
    }
    if (equal) caseless = name.record;
  }
  return caseless;
}

}  // namespace tidvale::fs::mft
