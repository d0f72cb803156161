// The sphere images, sizes, image choice and stamps on an off-screen bitmap.
#include "savers/spheres/sphere_figure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "canvas.h"
#include "platform/src/gdi_objects.h"

namespace {

using namespace orvo::spheres;

int SurfaceSlot(const Figure& f, int x, int y) {
  return orvo::platform::FindBitmap(reinterpret_cast<HGDIOBJ>(f.images))->surface.row(y)[x];
}

Config Settings(int size, int symmetry, int type) {
  Config c;
  c.size = size;
  c.symmetry = symmetry;
  c.type = type;
  return c;
}

TEST(SphereSettings, StoredValuesThatWouldBreakTheFigureAreBounded) {
  EXPECT_EQ(SafeSize(100), 100);
  EXPECT_EQ(SafeSize(0), 1);
  EXPECT_EQ(SafeSize(-20), 1);
  EXPECT_EQ(SafeSize(30000), kMaxSize);
  EXPECT_EQ(SafeSymmetry(8), 8);
  EXPECT_EQ(SafeSymmetry(0), 1);
  EXPECT_EQ(SafeSymmetry(-5), 1);
  EXPECT_EQ(SafeDuration(0), 1);
  EXPECT_EQ(SafeDuration(20), 20);
}

TEST(SphereImage, FlagsAndWedgeNeedThreeSectors) {
  SlotCanvas canvas(64, 48);
  Figure f;
  Allocate(f, canvas.dc());
  NewImage(f, Settings(20, 2, 7), canvas.dc(), 64, 48, 1000, nullptr, 0);
  EXPECT_FALSE(f.wedge);
  EXPECT_TRUE(f.mirror);
  EXPECT_TRUE(f.random_size);
  NewImage(f, Settings(20, 3, 1), canvas.dc(), 64, 48, 1000, nullptr, 0);
  EXPECT_TRUE(f.wedge);
  EXPECT_FALSE(f.mirror);
  EXPECT_FALSE(f.random_size);
  // The preset "Bugs" stores Type 8 (its 50 clamped by the dialog): no flag.
  NewImage(f, Settings(20, 18, 8), canvas.dc(), 64, 48, 1000, nullptr, 0);
  EXPECT_FALSE(f.wedge || f.mirror || f.random_size);
  EXPECT_EQ(f.cx, 32);
  EXPECT_EQ(f.cy, 24);
  EXPECT_FLOAT_EQ(f.reach, 40.0f);
  EXPECT_FLOAT_EQ(f.sector, 6.2832f / 18);
  EXPECT_GE(f.m, 30);
  EXPECT_LE(f.m, 59);
  EXPECT_EQ(f.deadline, 1000u + 20u * 1000u);
  EXPECT_FALSE(DeadlinePassed(f, 21000));
  EXPECT_TRUE(DeadlinePassed(f, 21001));
  Release(f);
}

TEST(SphereImage, RingsCentredAtHalfSizeForOddAndEvenSizes) {
  SlotCanvas canvas(64, 48);
  for (int size : {11, 12}) {
    Figure f;
    Allocate(f, canvas.dc());
    NewImage(f, Settings(size, 8, 0), canvas.dc(), 64, 48, 0, nullptr, 0);
    const int side = size + 2;
    const int rings = side / 2;
    const int c = size / 2;
    for (int i : {0, 1, 9}) {
      const int ox = i * side;
      // The centre pixel holds the innermost ring; the index falls by one per
      // pixel of radius outwards, image i starting 20 entries after i - 1.
      EXPECT_EQ(SurfaceSlot(f, ox + c, c), 10 + (20 * i + rings - 1) % 235) << size << " " << i;
      EXPECT_EQ(SurfaceSlot(f, ox + c + 3, c), 10 + (20 * i + rings - 4) % 235);
      EXPECT_EQ(SurfaceSlot(f, ox + c, c - 3), 10 + (20 * i + rings - 4) % 235);
      EXPECT_EQ(SurfaceSlot(f, ox + c - (rings - 1), c), 10 + (20 * i) % 235);
      EXPECT_EQ(SurfaceSlot(f, ox + c + (rings - 1), c), 10 + (20 * i) % 235);
    }
    Release(f);
  }
}

TEST(SphereChoice, MultiplierZeroAlwaysUsesImageZero) {
  Figure f;
  f.reach = 400;
  f.k = 0;
  for (float d = 0; d <= 400; d += 0.5f) ASSERT_EQ(ImageFor(f, d), 0);
  f.k = 1;
  EXPECT_EQ(ImageFor(f, 400), (235 / 20) % 10);
  EXPECT_EQ(ImageFor(f, 0), 0);
  f.k = 7;
  EXPECT_EQ(ImageFor(f, 200), ((117 * 7) / 20) % 10);
  f.reach = 0;  // a window with no size: no division by zero
  EXPECT_EQ(ImageFor(f, 0), 0);
}

TEST(SphereSize, RandomSizesStayBetweenTenAndSize) {
  Figure f;
  f.random_size = true;
  for (int size : {1, 10, 15, 250}) {
    f.size = size;
    bool capped = false, below = false;
    srand15(17);
    for (int i = 0; i < 2000; ++i) {
      const int z = DrawSize(f);
      ASSERT_LE(z, size);
      ASSERT_GE(z, std::min(10, size));
      capped |= z == size;
      below |= z < size;
    }
    EXPECT_TRUE(capped) << size;
    if (size > 10) {
      EXPECT_TRUE(below) << size;
    }
  }
  f.random_size = false;
  f.size = 77;
  EXPECT_EQ(DrawSize(f), 77);
}

TEST(SphereStep, WedgeClippingKeepsEachStampInsideItsSector) {
  SlotCanvas canvas(120, 100);
  std::vector<int> painted[2];
  for (int type : {0, 1}) {
    Figure f;
    Allocate(f, canvas.dc());
    srand15(5);
    NewImage(f, Settings(60, 4, type), canvas.dc(), 120, 100, 0, nullptr, 3);
    PatBlt(canvas.dc(), 0, 0, 120, 100, BLACKNESS);
    for (int i = 0; i < 10; ++i) Step(f, canvas.dc(), nullptr);
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 120; ++x) painted[type].push_back(canvas.Slot(x, y) != 0);
    Release(f);
  }
  // The four sector triangles (centre and two corners at the reach) leave
  // the areas beyond their outer edges uncovered: only stamps without
  // wedges reach there.
  const float reach = std::sqrt(60.0f * 60 + 50.0f * 50);
  HRGN all = CreateRectRgn(0, 0, 0, 0);
  for (int i = 0; i < 4; ++i) {
    const double s = 6.2832f / 4;
    const POINT tri[3] = {{60, 50},
                          {60 + static_cast<LONG>(reach * std::sin(i * s)),
                           50 + static_cast<LONG>(reach * std::cos(i * s))},
                          {60 + static_cast<LONG>(reach * std::sin((i + 1) * s)),
                           50 + static_cast<LONG>(reach * std::cos((i + 1) * s))}};
    HRGN t = CreatePolygonRgn(tri, 3, WINDING);
    CombineRgn(all, all, t, RGN_OR);
    DeleteObject(reinterpret_cast<HGDIOBJ>(t));
  }
  int outside[2] = {0, 0}, inside[2] = {0, 0};
  for (int type : {0, 1}) {
    for (int y = 0; y < 100; ++y) {
      for (int x = 0; x < 120; ++x) {
        if (!painted[type][y * 120 + x]) continue;
        (PtInRegion(all, x, y) ? inside : outside)[type]++;
      }
    }
  }
  DeleteObject(reinterpret_cast<HGDIOBJ>(all));
  EXPECT_GT(outside[0], 0);
  EXPECT_EQ(outside[1], 0);
  EXPECT_GT(inside[1], 0);
}

TEST(SphereStep, ZeroAndNegativeSettingsDrawWithoutHarm) {
  SlotCanvas canvas(64, 48);
  Figure f;
  Allocate(f, canvas.dc());
  NewImage(f, Settings(-4, 0, 7), canvas.dc(), 64, 48, 0, nullptr, 5);
  EXPECT_EQ(f.size, 1);
  EXPECT_EQ(f.n, 1);
  for (int i = 0; i < 20; ++i) Step(f, canvas.dc(), nullptr);
  Release(f);
}

}  // namespace
