#pragma once
// A folder to remove, measured through its held handle before anything goes: the bytes of its
// files (links never entered), and which entries were seen, by their listed file ids. The
// removal then takes only entries that were measured: what appeared since, or what a name leads
// to after a swap, stays where it is, so that nothing goes that was neither asked for nor
// counted. One thread.

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "fs/file_system.h"

namespace tidvale {

class MeasuredTree {
 public:
  int64_t bytes() const { return bytes_; }
  // Whether the entry with this listed id was seen below the folder.
  bool contains(uint64_t fileId) const;

 private:
  friend std::optional<MeasuredTree> measureHeldTree(fs::HeldFolder&, const std::set<fs::FileId>&,
                                                     const MeasuredTree*);
  int64_t bytes_ = 0;
  std::vector<uint64_t> ids_;  // sorted
};

// Measures below the held folder: the files' listed sizes, links never entered. Subfolders are
// gone through relative to their folders, never by path, and without the right to delete them;
// the walk is never cut short. Nothing when a folder below has an identity in `protectedIds` (or
// one that cannot be read): a folder holding a protected one, under a name that no text check
// could tell (Wine's Z: drive holds every other drive's folder). With `within`, only the entries
// that it holds are counted and gone through: what is left of an earlier measure.
std::optional<MeasuredTree> measureHeldTree(fs::HeldFolder& folder,
                                            const std::set<fs::FileId>& protectedIds,
                                            const MeasuredTree* within = nullptr);

}  // namespace tidvale
