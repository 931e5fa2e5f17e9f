#include "scanners/scan_text.h"

#include "core/lower_case.h"
#include "fs/path_text.h"

namespace tidvale {
namespace {

constexpr wchar_t kStreamSeparator = L':';
constexpr wchar_t kExtensionDot = L'.';

// The root name of a Windows path: "X:" of a drive, "\\server" of a network or device path.
std::wstring_view rootNameOf(std::wstring_view path) {
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  if (path.size() >= 3 && fs::isSeparator(path[0]) && fs::isSeparator(path[1]) &&
      !fs::isSeparator(path[2])) {
    size_t end = 2;
    while (end < path.size() && !fs::isSeparator(path[end])) ++end;
    return path.substr(0, end);
  }
  return {};
}

// Yields the components of `rest` one by one, skipping empty ones.
class Components {
 public:
  explicit Components(std::wstring_view rest) : rest_(rest) {}
  bool next(std::wstring_view& component) {
    while (!rest_.empty() && fs::isSeparator(rest_.front())) rest_.remove_prefix(1);
    if (rest_.empty()) return false;
    size_t end = 0;
    while (end < rest_.size() && !fs::isSeparator(rest_[end])) ++end;
    component = rest_.substr(0, end);
    rest_.remove_prefix(end);
    return true;
  }

 private:
  std::wstring_view rest_;
};

int sign(int value) {
  return (value > 0) - (value < 0);
}

}  // namespace

std::wstring_view fileNameOf(std::wstring_view path) {
  const size_t last = path.find_last_of(L"\\/");
  return last == std::wstring_view::npos ? path : path.substr(last + 1);
}

std::wstring lowerExtensionOf(std::wstring_view path) {
  std::wstring_view name = fileNameOf(path);
  name = name.substr(0, name.find(kStreamSeparator));
  const size_t dot = name.rfind(kExtensionDot);
  // A dot at the start (".profile") or none at all: no extension.
  if (dot == std::wstring_view::npos || dot == 0) return {};
  return toLowerUnits(name.substr(dot + 1));
}

int comparePaths(std::wstring_view left, std::wstring_view right) {
  const std::wstring_view leftRoot = rootNameOf(left);
  const std::wstring_view rightRoot = rootNameOf(right);
  if (const int byRoot = leftRoot.compare(rightRoot)) return sign(byRoot);
  left.remove_prefix(leftRoot.size());
  right.remove_prefix(rightRoot.size());

  const bool leftAbsolute = !left.empty() && fs::isSeparator(left.front());
  const bool rightAbsolute = !right.empty() && fs::isSeparator(right.front());
  if (leftAbsolute != rightAbsolute) return leftAbsolute ? 1 : -1;

  Components leftParts(left);
  Components rightParts(right);
  for (;;) {
    std::wstring_view a;
    std::wstring_view b;
    const bool hasA = leftParts.next(a);
    const bool hasB = rightParts.next(b);
    if (!hasA || !hasB) return hasA == hasB ? 0 : (hasA ? 1 : -1);
    if (const int byComponent = a.compare(b)) return sign(byComponent);
  }
}

}  // namespace tidvale
