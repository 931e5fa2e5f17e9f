#pragma once
// Test helpers for the walks: a file system whose listings show names that hold a separator, as
// another system can write them on NTFS (and as Wine shows a Linux name holding "\"). Tests only.

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "fs/file_system.h"

namespace tidvale::fs::testing {

// Every call goes to `inner`; its listings show each "|" of a name as "\": an entry created as
// "a|b" is listed as "a\b", while the path "...\a\b" still names the entry "b" of the real folder
// "a". A walk that joined the listed name to its folder would reach that other entry.
class ForeignNames final : public FileSystem {
 public:
  explicit ForeignNames(FileSystem& inner) : inner_(inner) {}

  std::unique_ptr<FolderListing> openFolder(const std::wstring& path) override {
    std::unique_ptr<FolderListing> listing = inner_.openFolder(path);
    return listing ? std::make_unique<Listing>(std::move(listing)) : nullptr;
  }
  FileStatus status(const std::wstring& path, bool followLinks) override {
    return inner_.status(path, followLinks);
  }
  FsError removeFile(const std::wstring& path) override { return inner_.removeFile(path); }
  FsError removeFolder(const std::wstring& path) override { return inner_.removeFolder(path); }
  FsError setAttributes(const std::wstring& path, uint32_t attributes) override {
    return inner_.setAttributes(path, attributes);
  }
  Hold holdFolder(const std::wstring& path) override { return inner_.holdFolder(path); }
  FsError removeEntry(const std::wstring& path) override { return inner_.removeEntry(path); }
  Hold holdVolumeRoot(const std::wstring& root) override { return inner_.holdVolumeRoot(root); }
  std::optional<std::wstring> finalPath(const std::wstring& path) override {
    return inner_.finalPath(path);
  }

 private:
  class Listing final : public FolderListing {
   public:
    explicit Listing(std::unique_ptr<FolderListing> inner) : inner_(std::move(inner)) {}
    ListStep next(DirEntry& entry) override {
      const ListStep step = inner_->next(entry);
      for (wchar_t& unit : entry.name) {
        if (unit == L'|') unit = L'\\';
      }
      return step;
    }

   private:
    std::unique_ptr<FolderListing> inner_;
  };

  FileSystem& inner_;
};

}  // namespace tidvale::fs::testing
