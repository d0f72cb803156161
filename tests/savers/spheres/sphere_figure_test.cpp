// The sphere images, sizes, image choice and stamps on an off-screen bitmap,
// with a real palette engine.
#include "savers/spheres/sphere_figure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cmath>
#include <vector>

#include "tests/support/slot_canvas.h"
#include "gdi/gdi_objects.h"

namespace {

using namespace orvo::spheres;

Config Settings(int size, int symmetry, int type) {
  Config c;
  c.size = size;
  c.symmetry = symmetry;
  c.type = type;
  return c;
}

// A canvas on a fresh headless display with a real palette engine on it.
struct EngineCanvas {
  EngineCanvas(int w, int h) : canvas(w, h), engine(orvo::CreatePaletteEngine(canvas.dc())) {}
  ~EngineCanvas() { orvo::DestroyPaletteEngine(engine); }
  SlotCanvas canvas;
  orvo::PaletteEngine* engine;
};

TEST(SphereSettings, StoredValuesThatWouldBreakTheFigureAreHeld) {
  EXPECT_EQ(SafeSize(100), 100);
  EXPECT_EQ(SafeSize(2), 2);
  EXPECT_EQ(SafeSize(1), 2);
  EXPECT_EQ(SafeSize(-20), 2);
  EXPECT_EQ(SafeSize(30000), kMaxSize);
  EXPECT_EQ(SafeSymmetry(8), 8);
  EXPECT_EQ(SafeSymmetry(1), 1);
  EXPECT_EQ(SafeSymmetry(0), 1);
  EXPECT_EQ(SafeSymmetry(-5), 1);
  EXPECT_EQ(SafeSymmetry(128), 128);
  EXPECT_EQ(SafeSymmetry(32767), 128);
}

// Duration is used as read: 0 ends the image as soon as the tick count
// moves on, a negative one at once; a deadline beyond the tick count's
// wrap is not taken as already past.
TEST(SphereImage, DeadlineFollowsTheStoredDuration) {
  EngineCanvas ec(64, 48);
  struct Case {
    int duration;
    std::uint32_t start, not_yet, past;
  };
  for (const Case c : {Case{20, 1000, 21000, 21001}, Case{0, 5000, 5000, 5001},
                       Case{-3, 5000, 1999, 5000}, Case{1, 0xFFFFFFFFu - 100, 899, 900},
                       Case{32767, 0, 32767000u, 32767001u}, Case{-32768, 40000000u, 7232000u, 40000000u}}) {
    SCOPED_TRACE(c.duration);
    Figure f;
    Allocate(f, ec.canvas.dc());
    Config config = Settings(20, 8, 0);
    config.duration = c.duration;
    NewImage(f, config, ec.canvas.dc(), 64, 48, c.start, ec.engine, 0);
    EXPECT_EQ(f.deadline, c.start + static_cast<std::uint32_t>(c.duration) * 1000u);
    if (c.duration > 0) {
      EXPECT_FALSE(DeadlinePassed(f, c.start));
    }
    EXPECT_FALSE(DeadlinePassed(f, c.not_yet));
    EXPECT_TRUE(DeadlinePassed(f, c.past));
    Release(f);
  }
}

TEST(SphereImage, FlagsAndWedgeNeedThreeSectors) {
  EngineCanvas ec(64, 48);
  SlotCanvas& canvas = ec.canvas;
  Figure f;
  Allocate(f, canvas.dc());
  NewImage(f, Settings(20, 2, 7), canvas.dc(), 64, 48, 1000, ec.engine, 0);
  EXPECT_FALSE(f.wedge);
  EXPECT_TRUE(f.mirror);
  EXPECT_TRUE(f.random_size);
  NewImage(f, Settings(20, 3, 1), canvas.dc(), 64, 48, 1000, ec.engine, 0);
  EXPECT_TRUE(f.wedge);
  EXPECT_FALSE(f.mirror);
  EXPECT_FALSE(f.random_size);
  // The preset "Bugs" stores Type 8 (its 50 clamped by the dialog): no flag.
  NewImage(f, Settings(20, 18, 8), canvas.dc(), 64, 48, 1000, ec.engine, 0);
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
  EngineCanvas ec(120, 100);
  SlotCanvas& canvas = ec.canvas;
  std::vector<int> painted[2];
  for (int type : {0, 1}) {
    Figure f;
    Allocate(f, canvas.dc());
    srand15(5);
    NewImage(f, Settings(60, 4, type), canvas.dc(), 120, 100, 0, ec.engine, 3);
    PatBlt(canvas.dc(), 0, 0, 120, 100, BLACKNESS);
    for (int i = 0; i < 10; ++i) Step(f, canvas.dc(), ec.engine);
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

// One stamp on a white window, pixel for pixel against the three boxes:
// disc t of image i is an Ellipse on (c - q, c - q)..(c + q, c + q),
// q = rho0 - 1 - t, in index (20 i + t) mod 235; the clip is the elliptic
// region (x - h, y - h)..(x + h, y + h); the copy takes z x z pixels from
// (c - h, c - h) to (x - h, y - h). The expected picture is drawn with the
// same three boxes on a plain canvas; no pixel the image never drew shows.
TEST(SphereStep, OneStampIsTheImagesDiscsThroughTheClipDisc) {
  struct Case {
    int size, z, image;
  };
  for (const Case c : {Case{100, 100, 0}, Case{250, 250, 3}, Case{21, 21, 9}, Case{20, 20, 1},
                       Case{100, 37, 5}, Case{31, 10, 2}, Case{10, 10, 7}, Case{11, 10, 4}}) {
    SCOPED_TRACE(testing::Message() << "size " << c.size << " z " << c.z);
    EngineCanvas ec(300, 300);
    SlotCanvas& canvas = ec.canvas;
    Figure f;
    Allocate(f, canvas.dc());
    NewImage(f, Settings(c.size, 8, 0), canvas.dc(), 300, 300, 0, ec.engine, 0);
    PatBlt(canvas.dc(), 0, 0, 300, 300, WHITENESS);
    const int x = 150, y = 149;
    Stamp(f, canvas.dc(), x, y, c.image, c.z, nullptr);

    // The image by the boxes: the slot of each pixel, -1 where no disc
    // drew. Each disc is drawn alone in white on a black scratch bitmap.
    const int rho0 = (c.size + 2) / 2;
    const int cc = c.size / 2;
    const int h = c.z / 2;
    const int side = c.size + 2;
    std::vector<int> image(static_cast<std::size_t>(side * side), -1);
    HDC scratch = CreateCompatibleDC(canvas.dc());
    HBITMAP bits = CreateCompatibleBitmap(canvas.dc(), side, side);
    HGDIOBJ old_bits = SelectObject(scratch, reinterpret_cast<HGDIOBJ>(bits));
    SelectObject(scratch, GetStockObject(NULL_PEN));
    SelectObject(scratch, GetStockObject(WHITE_BRUSH));
    for (int t = 0; t < rho0; ++t) {
      const int q = rho0 - 1 - t;
      PatBlt(scratch, 0, 0, side, side, BLACKNESS);
      Ellipse(scratch, cc - q, cc - q, cc + q, cc + q);
      for (int v = 0; v < side; ++v) {
        for (int u = 0; u < side; ++u) {
          if (GetPixel(scratch, u, v) != 0) image[v * side + u] = 10 + (20 * c.image + t) % 235;
        }
      }
    }
    SelectObject(scratch, old_bits);
    DeleteObject(reinterpret_cast<HGDIOBJ>(bits));
    DeleteDC(scratch);
    HRGN clip = CreateEllipticRgn(x - h, y - h, x + h, y + h);
    int shown = 0;
    for (int py = 0; py < 300; ++py) {
      for (int px = 0; px < 300; ++px) {
        const int u = px - (x - h) + (cc - h), v = py - (y - h) + (cc - h);
        const bool copied = PtInRegion(clip, px, py) && px >= x - h && px < x - h + c.z &&
                            py >= y - h && py < y - h + c.z;
        const int want = copied ? image[v * side + u] : 255;
        ASSERT_NE(want, -1) << "a pixel no disc drew shows at " << px << "," << py;
        ASSERT_EQ(canvas.Slot(px, py), want) << px << "," << py;
        shown += copied;
      }
    }
    DeleteObject(reinterpret_cast<HGDIOBJ>(clip));
    EXPECT_GT(shown, (h * h * 3) - 1);  // about pi h^2
    Release(f);
  }
}

// Size below 2 is held at 2 (the smallest whose disc has pixels: 2 x 2)
// and Symmetry 0 or below at 1 (one sector, the whole circle): every step
// still stamps its copies, each of an image's only ring.
TEST(SphereStep, ZeroAndNegativeSettingsStampTheSmallestSpheres) {
  struct Case {
    int size, symmetry, type, copies_per_step;
  };
  for (const Case c : {Case{-4, 0, 7, 2}, Case{0, -7, 0, 1}, Case{1, 1, 4, 1}}) {
    SCOPED_TRACE(testing::Message() << c.size << " " << c.symmetry);
    EngineCanvas ec(64, 48);
    SlotCanvas& canvas = ec.canvas;
    Figure f;
    Allocate(f, canvas.dc());
    NewImage(f, Settings(c.size, c.symmetry, c.type), canvas.dc(), 64, 48, 0, ec.engine, 5);
    EXPECT_EQ(f.size, 2);
    EXPECT_EQ(f.n, 1);
    PatBlt(canvas.dc(), 0, 0, 64, 48, BLACKNESS);
    constexpr int kSteps = 20;
    for (int i = 0; i < kSteps; ++i) Step(f, canvas.dc(), ec.engine);
    std::vector<int> rings;
    for (int i = 0; i < kImages; ++i) rings.push_back(10 + 20 * i);
    int painted = 0;
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 64; ++x) {
        const int v = canvas.Slot(x, y);
        if (v == 0) continue;
        ++painted;
        EXPECT_NE(std::find(rings.begin(), rings.end(), v), rings.end()) << v;
      }
    }
    EXPECT_GT(painted, kSteps / 2);
    EXPECT_LE(painted, 4 * kSteps * c.copies_per_step);
    Release(f);
  }
}

}  // namespace
