#include "host/dpi_scale.h"

#include <gtest/gtest.h>

namespace tidvale::host {
namespace {

TEST(DpiScale, ScalesTheMainWindowPlacementPerMonitorDpi) {
  // The main window opens at (10, 10) with 1280 x 800 logical pixels.
  const struct {
    unsigned dpi;
    int x, y, width, height;
  } cases[] = {
      {96, 10, 10, 1280, 800},   {120, 12, 12, 1600, 1000}, {144, 15, 15, 1920, 1200},
      {168, 17, 17, 2240, 1400}, {192, 20, 20, 2560, 1600}, {72, 7, 7, 960, 600},
  };
  for (const auto& c : cases) {
    const double scale = scaleForDpi(c.dpi);
    EXPECT_EQ(toPhysicalPixels(10, scale), c.x) << c.dpi;
    EXPECT_EQ(toPhysicalPixels(10, scale), c.y) << c.dpi;
    EXPECT_EQ(toPhysicalPixels(1280, scale), c.width) << c.dpi;
    EXPECT_EQ(toPhysicalPixels(800, scale), c.height) << c.dpi;
  }
}

}  // namespace
}  // namespace tidvale::host
