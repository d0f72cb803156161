// Wide strokes of whole paths with whole pen widths take a fast way (each
// disc from one table of exact spans, of each band only the rows its end
// discs may leave uncovered, one disc covering the whole surface ending the
// work); it must paint exactly the pixels of the general way, which every
// path can take. Random paths of each kind of the table, compared pixel for
// pixel on a window smaller than most of the pens.
#include <random>
#include <set>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/geometry.h"

namespace {

using orvo::platform::raster::Coord;
using orvo::platform::raster::DPoint;
using Pixels = std::set<std::pair<Coord, Coord>>;

constexpr Coord kWidth = 90;
constexpr Coord kRows = 70;

template <typename Spans>
Pixels Paint(Spans spans, const std::vector<DPoint>& path, bool closed, int width) {
  Pixels out;
  spans(path, closed, width / 2.0, kWidth, 0, kRows, [&](Coord y, Coord x0, Coord x1) {
    for (Coord x = std::max<Coord>(x0, 0); x < std::min(x1, kWidth); ++x) {
      EXPECT_TRUE(out.insert({y, x}).second) << "pixel " << x << "," << y << " twice";
    }
  });
  return out;
}

struct PathKind {
  const char* name;
  int points;     // vertices of each path
  int step;       // largest move between vertices
  Coord origin;   // where paths start (far values test the 32-bit spans)
  bool closed;
};

TEST(WidePaths, FastWayPaintsWhatTheGeneralWayPaints) {
  const PathKind kinds[] = {
      {"single point", 1, 0, 40, false},
      {"two points", 2, 60, 40, false},
      {"short steps, as flattened curves", 40, 6, 40, false},
      {"long steps", 8, 120, 40, false},
      {"axis steps and repeats", 12, 1, 40, false},
      {"closed", 7, 50, 40, true},
      {"far off the surface", 6, 40, 200000000, false},
  };
  const int widths[] = {2, 3, 4, 5, 8, 9, 16, 41, 100, 101, 200, 201, 1001};
  std::mt19937 random(2029);
  auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  int painted = 0;
  for (const PathKind& kind : kinds) {
    for (const int width : widths) {
      for (int trial = 0; trial < 12; ++trial) {
        std::vector<DPoint> path;
        Coord x = kind.origin + between(-60, 60), y = between(-40, kRows + 40);
        for (int i = 0; i < kind.points; ++i) {
          path.push_back(DPoint{static_cast<double>(x), static_cast<double>(y)});
          if (kind.step == 1) {
            (between(0, 1) ? x : y) += between(-1, 1);  // horizontal, vertical or none
          } else {
            x += between(-kind.step, kind.step);
            y += between(-kind.step, kind.step);
          }
        }
        const Pixels fast = Paint(orvo::platform::raster::WidePathSpans, path, kind.closed, width);
        const Pixels general =
            Paint(orvo::platform::raster::WidePathSpansGeneral, path, kind.closed, width);
        ASSERT_EQ(fast, general) << kind.name << ", width " << width << ", trial " << trial;
        painted += !fast.empty();
      }
    }
  }
  EXPECT_GT(painted, 700);
}

}  // namespace
