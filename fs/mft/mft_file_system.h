#pragma once
// The listing side of the file-system seam served from a volume's MFT index, so that the walks
// and scans run on it unchanged. Paths name the volume by its drive ("N:\..." or "\\?\N:\...");
// each folder lists its names in the order NTFS keeps them (the order a folder listing of the
// volume gives), hard links once per name. It reads nothing of the volume after the index is
// built and changes nothing: every removal or change is refused.
//
// A name that no path can name is never joined into one: a name holding "\" or "/" (another
// system can write one), or one whose path would pass kLongestReportablePath units. The listing
// gives, in its place, one entry with an empty name per file below it (the file itself, or every
// file of the folder's subtree, links and other reparse points not entered), with its size and
// attributes plus hidden and system. So the bytes count in the folder that holds the name (the
// nearest one a path can name), and no walk that skips hidden files reports them.

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "fs/file_system.h"
#include "fs/mft/mft_index.h"

namespace tidvale::fs::mft {

// The longest path Windows can open (UTF-16 units, any "\\?\" prefix included).
inline constexpr size_t kLongestReportablePath = 32767;

class MftFileSystem final : public FileSystem {
 public:
  // `drive`: the two units that name the volume in paths, such as L"N:".
  MftFileSystem(std::shared_ptr<const MftIndex> index, std::wstring drive);

  // Null for a path off this volume, a missing one, a file, or a link (never followed here).
  std::unique_ptr<FolderListing> openFolder(const std::wstring& path) override;
  // A link is not followed: with `followLinks` its status is Failed.
  FileStatus status(const std::wstring& path, bool followLinks) override;

  FsError removeFile(const std::wstring& path) override;
  FsError removeFolder(const std::wstring& path) override;
  FsError setAttributes(const std::wstring& path, uint32_t attributes) override;
  Hold holdFolder(const std::wstring& path) override;
  FsError removeEntry(const std::wstring& path) override;
  Hold holdVolumeRoot(const std::wstring& root) override;
  std::optional<std::wstring> finalPath(const std::wstring& path) override;

  // Remembers the folder entry a listing of `folder` just returned, so that opening it next (as
  // a depth-first walk does) costs no search of a possibly wide folder.
  void noteListedFolder(const std::wstring& folder, uint32_t name);

  const MftIndex& index() const { return *index_; }
  // The record that `path` names on this volume; nothing when it names none.
  std::optional<uint32_t> recordOf(const std::wstring& path);

 private:
  enum class Lookup { Found, NotFound, OffVolume };
  // The record at `path`: NotFound when a component is missing or lies below a file or a link.
  Lookup resolve(const std::wstring& path, uint32_t& record);
  std::optional<uint32_t> childNamed(uint32_t folder, std::wstring_view component) const;
  std::optional<uint32_t> hintedRecord(const std::wstring& path);

  std::shared_ptr<const MftIndex> index_;
  std::wstring drive_;
  std::mutex hintLock_;
  std::wstring hintFolder_;
  uint32_t hintName_ = 0;
  bool hintSet_ = false;
};

}  // namespace tidvale::fs::mft
