#pragma once
// Logical to physical pixels for a monitor's DPI. Pure, any thread.

namespace tidvale::host {

// The DPI at which one logical pixel is one physical pixel.
inline constexpr unsigned kBaseDpi = 96;

constexpr double scaleForDpi(unsigned dpi) {
  return static_cast<double>(dpi) / kBaseDpi;
}

// Truncates, as window placement does: 10 logical pixels at 1.25 are 12 physical ones.
constexpr int toPhysicalPixels(int logical, double scale) {
  return static_cast<int>(logical * scale);
}

}  // namespace tidvale::host
