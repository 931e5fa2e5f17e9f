// A Windows program that races a removal from inside the same Wine prefix, as another user's
// program could: it swaps pairs of folders by renaming, again and again, until STOPFILE exists or
// SECONDS have passed, then puts every pair back as it found it.
// Usage: swap_attacker STOPFILE SECONDS A1 B1 [A2 B2 ...]
// Each round of a pair: A goes to A + ".away", B takes A's name, a moment passes, then B and A go
// back (A stays in place, and B at A's name, for a few milliseconds). A rename that is refused (a
// folder another program keeps in place) is retried later. Creates STOPFILE + ".ready" once it
// runs; prints "swaps=<n> refused=<n>" when it ends.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD kInPlaceMilliseconds = 8;
constexpr DWORD kSwappedMilliseconds = 3;

struct Pair {
  std::wstring a;
  std::wstring b;
  int stage = 0;  // 0: in place; 1: A away; 2: A away and B in A's place
};

bool exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool move(const std::wstring& from, const std::wstring& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(), 0) != 0;
}

// Advances the pair by one rename; false when the rename was refused.
bool step(Pair& pair) {
  const std::wstring away = pair.a + L".away";
  switch (pair.stage) {
    case 0:
      ::Sleep(static_cast<DWORD>(std::rand()) % kInPlaceMilliseconds);  // a reader may resolve A
      if (!move(pair.a, away)) return false;
      pair.stage = 1;
      return true;
    case 1:
      if (!move(pair.b, pair.a)) return false;
      pair.stage = 2;
      ::Sleep(kSwappedMilliseconds);  // long enough for a reader to meet B at A's name
      return true;
    default:
      if (!move(pair.a, pair.b)) return false;
      pair.stage = 3;
      return true;
  }
}

// Puts the pair back: B to its own name, A from its away name.
bool restore(Pair& pair) {
  const std::wstring away = pair.a + L".away";
  // B may have been removed meanwhile, as what the path named: then only A comes back.
  if (pair.stage == 2 && (move(pair.a, pair.b) || !exists(pair.a))) pair.stage = 3;
  if (pair.stage == 2) return false;
  if ((pair.stage == 1 || pair.stage == 3) && (!exists(away) || move(away, pair.a))) pair.stage = 0;
  return pair.stage == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5 || (argc - 3) % 2 != 0) {
    std::fputs("usage: swap_attacker STOPFILE SECONDS A1 B1 [A2 B2 ...]\n", stderr);
    return 2;
  }
  const std::wstring stop = argv[1];
  const ULONGLONG deadline = ::GetTickCount64() + 1000ULL * _wtoi(argv[2]);
  std::vector<Pair> pairs;
  for (int i = 3; i + 1 < argc; i += 2) pairs.push_back({argv[i], argv[i + 1]});
  ::CloseHandle(::CreateFileW((stop + L".ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              0, nullptr));
  long swaps = 0;
  long refused = 0;
  while (!exists(stop) && ::GetTickCount64() < deadline) {
    for (Pair& pair : pairs) {
      if (pair.stage == 3) {
        if (restore(pair)) ++swaps;
        continue;
      }
      if (!step(pair)) ++refused;
    }
  }
  const ULONGLONG giveUp = ::GetTickCount64() + 10000;
  for (Pair& pair : pairs) {
    while (!restore(pair) && ::GetTickCount64() < giveUp) ::Sleep(1);
  }
  std::printf("swaps=%ld refused=%ld\n", swaps, refused);
  return 0;
}
