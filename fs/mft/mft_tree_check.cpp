// The index's own check before it serves a call: a damaged table must never be answered from.
// The walk asks the file system, which is the authority on what a damaged volume holds.
#include <vector>

#include "fs/mft/mft_index.h"

namespace tidvale::fs::mft {
namespace {

// Marks every folder reached from `top` through the children lists; false when one is reached a
// second time (a second parent, or a cycle back into what was already walked).
bool markReached(const MftIndex& index, uint32_t top, std::vector<uint8_t>& reached) {
  std::vector<uint32_t> pending{top};
  reached[top] = 1;
  while (!pending.empty()) {
    const uint32_t folder = pending.back();
    pending.pop_back();
    for (const uint32_t nameIndex : index.children(folder)) {
      const uint32_t child = index.name(nameIndex).record;
      if (!index.record(child).isFolder()) continue;
      if (reached[child]) return false;
      reached[child] = 1;
      pending.push_back(child);
    }
  }
  return true;
}

bool hasTwinNames(const MftIndex& index, uint32_t folder) {
  const std::span<const uint32_t> children = index.children(folder);
  for (size_t i = 1; i < children.size(); ++i) {
    // Collation order puts names that are equal unit by unit next to each other.
    if (index.text(index.name(children[i - 1])) == index.text(index.name(children[i]))) {
      return true;
    }
  }
  return false;
}

}  // namespace

const char* checkIndexIsTree(const MftIndex& index) {
  const size_t count = index.recordCount();
  if (count <= kFirstUserRecord) return "the table holds no user records";
  for (uint32_t number = 0; number < count; ++number) {
    const MftRecord& record = index.record(number);
    if (!record.inUse()) continue;
    const bool hasIndex = (record.flags & MftRecord::kHasFolderIndex) != 0;
    if (record.isFolder() != hasIndex) {
      return record.isFolder() ? "a record flagged as a folder has no index of names"
                               : "a record not flagged as a folder has an index of names";
    }
    if (hasTwinNames(index, number)) return "a name occurs twice in one folder";
  }
  if (!index.record(kRootRecord).inUse() || !index.record(kRootRecord).isFolder()) {
    return "the root folder is missing";
  }
  std::vector<uint8_t> reached(count, 0);
  if (!markReached(index, kRootRecord, reached)) return "a folder is reached twice";
  const MftRecord& extend = index.record(kExtendRecord);
  if (extend.inUse() && extend.isFolder() && !markReached(index, kExtendRecord, reached)) {
    return "a folder is reached twice";
  }
  for (uint32_t number = kFirstUserRecord; number < count; ++number) {
    const MftRecord& record = index.record(number);
    if (record.inUse() && record.isFolder() && !reached[number]) {
      return "a folder is not reached from the root";
    }
  }
  return nullptr;
}

}  // namespace tidvale::fs::mft
