#include "scanners/duplicate_finder.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/progress.h"
#include "scanners/path_walks.h"
#include "core/task_pool.h"

namespace tidvale {
namespace {

struct SizeBucket {
  int64_t size = 0;
  std::vector<std::wstring> paths;                      // in walk order
  std::vector<std::optional<FileIdentity>> identities;  // per path
  std::vector<size_t> distinct;          // indexes into paths: the first path of each file
  std::vector<BeginningDigest> partial;  // per distinct file; "" when it could not be read
  std::vector<std::string> full;         // per distinct file; "" when unread, unreadable or skipped
};

// Digests keyed in their own order: the groups of a bucket come out in the same order for any
// number of workers.
using DigestGroups = std::map<std::string, std::vector<size_t>>;

class DuplicateScanRun {
 public:
  DuplicateScanRun(ServiceState& state, const DuplicateScanEnvironment& environment)
      : state_(state), env_(environment), pool_(environment.workers), readers_(pool_.workers()) {}

  EncodableMap run(const std::wstring& root, int64_t minSize) {
    std::vector<SizeBucket> buckets = collect(root, minSize);
    size_t next = 0;
    while (next < buckets.size()) {
      std::vector<SizeBucket*> window;
      size_t files = 0;
      while (next < buckets.size() && (window.empty() || files < kDuplicateWindowFiles)) {
        if (state_.cancelled()) break;
        window.push_back(&buckets[next]);
        files += buckets[next].paths.size();
        ++next;
      }
      if (window.empty()) break;
      match(window);
    }
    return reply();
  }

 private:
  // The walk: every file counted, files of at least `minSize` bytes gathered by size. Buckets of
  // two or more are returned largest size first.
  std::vector<SizeBucket> collect(const std::wstring& root, int64_t minSize) {
    std::unordered_map<int64_t, std::vector<std::wstring>> bySize;
    walkFiles(
        env_.fileSystem, root, state_.cancelFlag, [&](const std::wstring& path, int64_t size) {
          ++scanned_;
          if (scanned_ % kDuplicateProgressInterval == 0) {
            emitProgress(state_, kDuplicateProgressTask, env_.toUtf8(path), scanned_, 0, false);
          }
          if (size >= minSize) bySize[size].push_back(path);
        });
    std::vector<SizeBucket> buckets;
    for (auto& [size, paths] : bySize) {
      if (paths.size() < 2) continue;
      SizeBucket& bucket = buckets.emplace_back();
      bucket.size = size;
      bucket.identities.resize(paths.size());
      bucket.paths = std::move(paths);
    }
    std::sort(buckets.begin(), buckets.end(),
              [](const SizeBucket& a, const SizeBucket& b) { return a.size > b.size; });
    return buckets;
  }

  FileContentReader& reader(size_t worker) {
    if (!readers_[worker]) readers_[worker] = env_.makeReader();
    return *readers_[worker];
  }

  // Runs `job(bucket, i)` for every (bucket, i) with i below count(bucket), on the pool.
  template <typename Count, typename Job>
  void forEachFile(const std::vector<SizeBucket*>& window, Count count, Job job) {
    std::vector<std::pair<SizeBucket*, size_t>> files;
    for (SizeBucket* bucket : window) {
      for (size_t i = 0, n = count(*bucket); i < n; ++i) files.emplace_back(bucket, i);
    }
    pool_.run(files.size(), [&](size_t worker, size_t index) {
      job(reader(worker), *files[index].first, files[index].second);
    });
  }

  void match(const std::vector<SizeBucket*>& window) {
    // Hard links: only the first path of each file takes part. Identities are read for these
    // buckets only, before any byte is read.
    forEachFile(
        window, [](const SizeBucket& bucket) { return bucket.paths.size(); },
        [](FileContentReader& reader, SizeBucket& bucket, size_t i) {
          bucket.identities[i] = reader.identity(bucket.paths[i]);
        });
    for (SizeBucket* bucket : window) keepDistinct(*bucket);

    // Stage 1: the first 64 KiB of every distinct file (all of a smaller one).
    forEachFile(
        window, [](const SizeBucket& bucket) { return bucket.distinct.size(); },
        [](FileContentReader& reader, SizeBucket& bucket, size_t i) {
          bucket.partial[i] = reader.digestBeginning(bucket.paths[bucket.distinct[i]], bucket.size);
        });

    // Stage 2: the whole content of files that share their partial digest with another one.
    std::vector<std::pair<SizeBucket*, size_t>> fullHashes;
    for (SizeBucket* bucket : window) {
      for (const auto& [digest, members] : partialGroups(*bucket)) {
        if (members.size() < 2) continue;
        for (size_t i : members) {
          if (bucket->size <= kPartialDigestBytes) {
            bucket->full[i] = digest;  // already the digest of the whole file
          } else {
            fullHashes.emplace_back(bucket, i);
          }
        }
      }
    }
    pool_.run(fullHashes.size(), [&](size_t worker, size_t index) {
      if (state_.cancelled()) return;  // seen before each full-content hash
      auto [bucket, i] = fullHashes[index];
      bucket->full[i] = reader(worker).digestWhole(bucket->paths[bucket->distinct[i]], bucket->size,
                                                   bucket->partial[i].continuation.get());
    });

    for (SizeBucket* bucket : window) {
      if (bucket->distinct.size() < 2) continue;
      gatherGroups(*bucket);
      release(*bucket);
      ++bucketsDone_;
      emitProgress(state_, kDuplicateProgressTask, env_.toUtf8(bucket->paths.front()), bucketsDone_,
                   static_cast<uint64_t>(wastedTotal_), false);
    }
  }

  static void keepDistinct(SizeBucket& bucket) {
    std::set<FileIdentity> seen;
    for (size_t i = 0; i < bucket.paths.size(); ++i) {
      // A file whose identity cannot be read is taken as a file of its own.
      const std::optional<FileIdentity>& identity = bucket.identities[i];
      if (identity && !seen.insert(*identity).second) continue;
      bucket.distinct.push_back(i);
    }
    if (bucket.distinct.size() < 2) bucket.distinct.clear();
    bucket.partial.clear();
    bucket.partial.resize(bucket.distinct.size());
    bucket.full.assign(bucket.distinct.size(), {});
  }

  // The bucket is decided: its hash states and digests are no longer needed.
  static void release(SizeBucket& bucket) {
    bucket.partial.clear();
    bucket.partial.shrink_to_fit();
    bucket.full.clear();
    bucket.full.shrink_to_fit();
  }

  static DigestGroups partialGroups(const SizeBucket& bucket) {
    DigestGroups groups;
    for (size_t i = 0; i < bucket.partial.size(); ++i) {
      if (!bucket.partial[i].digest.empty()) groups[bucket.partial[i].digest].push_back(i);
    }
    return groups;
  }

  void gatherGroups(const SizeBucket& bucket) {
    for (const auto& [partial, members] : partialGroups(bucket)) {
      if (members.size() < 2) continue;
      DigestGroups fullGroups;
      for (size_t i : members) {
        if (!bucket.full[i].empty()) fullGroups[bucket.full[i]].push_back(i);
      }
      for (const auto& [digest, files] : fullGroups) {
        if (files.size() >= 2) addGroup(bucket, digest, files);
      }
    }
  }

  void addGroup(const SizeBucket& bucket, const std::string& digest,
                const std::vector<size_t>& members) {
    std::vector<const std::wstring*> paths;
    for (size_t i : members) paths.push_back(&bucket.paths[bucket.distinct[i]]);
    std::sort(paths.begin(), paths.end(),
              [](const std::wstring* a, const std::wstring* b) { return pathLess(*a, *b); });
    EncodableList files;
    for (const std::wstring* path : paths) {
      files.emplace_back(EncodableMap{
          {EncodableValue("path"), EncodableValue(env_.toUtf8(*path))},
          {EncodableValue("name"), EncodableValue(env_.toUtf8(fileNameOf(*path)))},
          {EncodableValue("size"), EncodableValue(bucket.size)},
          {EncodableValue("modified"),
           EncodableValue(fileTimeToUnixSeconds(env_.fileSystem, *path))},
      });
    }
    const int64_t wasted = static_cast<int64_t>(paths.size() - 1) * bucket.size;
    wastedTotal_ += wasted;
    pending_.emplace_back(wasted, EncodableMap{
                                      {EncodableValue("size"), EncodableValue(bucket.size)},
                                      {EncodableValue("hash"), EncodableValue(digest)},
                                      {EncodableValue("files"), EncodableValue(std::move(files))},
                                      {EncodableValue("wasted"), EncodableValue(wasted)},
                                  });
  }

  EncodableMap reply() {
    // Stable: groups of equal waste stay in bucket order (largest size first), then digest order.
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    EncodableList groups;
    groups.reserve(pending_.size());
    for (auto& group : pending_) groups.emplace_back(std::move(group.second));
    emitProgress(state_, kDuplicateProgressTask, "", scanned_, static_cast<uint64_t>(wastedTotal_),
                 true);
    return EncodableMap{
        {EncodableValue("groups"), EncodableValue(std::move(groups))},
        {EncodableValue("scanned"), EncodableValue(static_cast<int64_t>(scanned_))},
        {EncodableValue("wasted"), EncodableValue(wastedTotal_)},
        {EncodableValue("cancelled"), EncodableValue(state_.cancelled())},
    };
  }

  ServiceState& state_;
  const DuplicateScanEnvironment& env_;
  TaskPool pool_;
  std::vector<std::unique_ptr<FileContentReader>> readers_;  // one per worker, made on first use
  uint64_t scanned_ = 0;
  uint64_t bucketsDone_ = 0;
  int64_t wastedTotal_ = 0;
  std::vector<std::pair<int64_t, EncodableMap>> pending_;
};

}  // namespace

EncodableMap runDuplicateScan(ServiceState& state, const DuplicateScanEnvironment& environment,
                              const std::wstring& root, int64_t minSize) {
  return DuplicateScanRun(state, environment).run(root, minSize);
}

}  // namespace tidvale
