// The limit for the duplicates benchmark: one thread doing only what the answer needs. A raw
// FindFirstFileExW walk; for every file whose size another file shares, one open that reads its
// identity and its first 64 KiB (all of a smaller file) into SHA-256; then, for files whose
// beginning another file of that size shares, the rest of the file, continuing the same hash.
// No byte is read twice and hard links are read once.
// Usage: dupes_limit_bench ROOT [REPETITIONS]
// Prints: "limit files=<n> groups=<g> wasted=<w> bytesRead=<b> seconds=<s1>,...".

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bench/raw_walk.h"
#include "bench/warm_timing.h"
#include "win/unique_resource.h"

namespace {

constexpr int kDefaultRepetitions = 3;
constexpr long long kBeginningBytes = 65536;
constexpr DWORD kBufferBytes = 1048576;

struct Totals {
  long long files = 0;
  long long groups = 0;
  long long wasted = 0;
  long long bytesRead = 0;
};

class Hasher {
 public:
  Hasher() { ::BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0); }
  ~Hasher() { ::BCryptCloseAlgorithmProvider(algorithm_, 0); }

  BCRYPT_HASH_HANDLE create() {
    BCRYPT_HASH_HANDLE hash = nullptr;
    ::BCryptCreateHash(algorithm_, &hash, nullptr, 0, nullptr, 0, 0);
    return hash;
  }
  // Feeds up to `length` bytes (-1: to the end); returns the bytes read.
  long long feed(HANDLE file, BCRYPT_HASH_HANDLE hash, long long length) {
    long long total = 0;
    while (length < 0 || total < length) {
      const DWORD ask = length < 0
                            ? kBufferBytes
                            : static_cast<DWORD>(std::min<long long>(length - total, kBufferBytes));
      DWORD read = 0;
      if (!::ReadFile(file, buffer_.data(), ask, &read, nullptr) || read == 0) break;
      ::BCryptHashData(hash, buffer_.data(), read, 0);
      total += read;
    }
    return total;
  }
  static std::string finish(BCRYPT_HASH_HANDLE hash) {
    std::string digest(32, '\0');
    ::BCryptFinishHash(hash, reinterpret_cast<PUCHAR>(digest.data()), 32, 0);
    ::BCryptDestroyHash(hash);
    return digest;
  }

 private:
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
  std::vector<UCHAR> buffer_ = std::vector<UCHAR>(kBufferBytes);
};

HANDLE openForReading(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

Totals run(const std::wstring& root) {
  std::vector<std::pair<std::wstring, long long>> files;
  std::wstring path = root;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  tidvale::bench::rawWalk(
      path,
      [&files](const std::wstring& file, const WIN32_FIND_DATAW& data) {
        files.emplace_back(file, tidvale::bench::fileSizeOf(data));
      },
      [](const std::wstring&) {});

  Totals totals;
  totals.files = static_cast<long long>(files.size());
  std::unordered_map<long long, std::vector<size_t>> bySize;
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].second > 0) bySize[files[i].second].push_back(i);
  }
  Hasher hasher;
  for (const auto& [size, members] : bySize) {
    if (members.size() < 2) continue;
    std::set<std::pair<DWORD, unsigned long long>> seen;
    std::map<std::string, std::vector<std::pair<size_t, BCRYPT_HASH_HANDLE>>> beginnings;
    for (size_t i : members) {
      tidvale::win::UniqueFileHandle file(openForReading(files[i].first));
      if (!file) continue;
      BY_HANDLE_FILE_INFORMATION info;
      if (::GetFileInformationByHandle(file.get(), &info) &&
          !seen.insert({info.dwVolumeSerialNumber,
                        (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) |
                            info.nFileIndexLow})
               .second) {
        continue;
      }
      BCRYPT_HASH_HANDLE hash = hasher.create();
      totals.bytesRead += hasher.feed(file.get(), hash, std::min(size, kBeginningBytes));
      BCRYPT_HASH_HANDLE rest = nullptr;
      if (size > kBeginningBytes) ::BCryptDuplicateHash(hash, &rest, nullptr, 0, 0);
      beginnings[Hasher::finish(hash)].emplace_back(i, rest);
    }
    for (auto& [digest, group] : beginnings) {
      std::map<std::string, long long> wholes;
      for (auto& [i, rest] : group) {
        if (!rest) {
          if (group.size() > 1) wholes[digest] += 1;
          continue;
        }
        if (group.size() > 1) {
          tidvale::win::UniqueFileHandle file(openForReading(files[i].first));
          LARGE_INTEGER offset;
          offset.QuadPart = kBeginningBytes;
          ::SetFilePointerEx(file.get(), offset, nullptr, FILE_BEGIN);
          totals.bytesRead += hasher.feed(file.get(), rest, -1);
          wholes[Hasher::finish(rest)] += 1;
        } else {
          ::BCryptDestroyHash(rest);
        }
      }
      for (const auto& [whole, count] : wholes) {
        if (count < 2) continue;
        totals.groups += 1;
        totals.wasted += (count - 1) * size;
      }
    }
  }
  return totals;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: dupes_limit_bench ROOT [REPETITIONS]\n", stderr);
    return 2;
  }
  const std::wstring root = argv[1];
  const int repetitions = argc > 2 ? std::max(1, _wtoi(argv[2])) : kDefaultRepetitions;
  const auto timing = tidvale::bench::timeWarm(
      repetitions, [&] { return run(root); },
      [](const Totals& a, const Totals& b) {
        return a.groups == b.groups && a.wasted == b.wasted;
      });
  if (!timing) {
    std::fputs("dupes_limit_bench: the answer changed between runs\n", stderr);
    return 1;
  }
  const Totals& first = timing->first;
  std::printf("limit files=%lld groups=%lld wasted=%lld bytesRead=%lld seconds=%s\n", first.files,
              first.groups, first.wasted, first.bytesRead, timing->seconds.c_str());
  return 0;
}
