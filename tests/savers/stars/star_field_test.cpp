// The star field's arithmetic and drawing on an off-screen bitmap.
#include "savers/stars/star_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "tests/support/slot_canvas.h"

namespace {

using namespace orvo::stars;

// A field of `count` stars in a w x h window at rest, no engine.
void Prepare(Field& f, int count, int w, int h, bool pixel) {
  f = Field{};
  f.count = static_cast<std::int16_t>(count);
  f.pixel_mode = pixel;
  f.camera.width = w;
  f.camera.height = h;
  f.camera.half_width = w * 0.5;
  f.camera.half_height = h * 0.5;
}

// Places star 0 straight ahead so that it projects onto (sx, sy).
void Aim(Field& f, int sx, int sy, double z) {
  Star& s = f.stars[0];
  const double d = z - f.camera.z;
  s.x = (sx + 0.5 - f.camera.half_width) * d / kFocal;
  s.y = (f.camera.half_height - sy - 0.5) * d / kFocal;
  s.z = z;
  ASSERT_TRUE(Project(f.camera, s.x, s.y, s.z, &s.sx, &s.sy));
  ASSERT_EQ(s.sx, sx);
  ASSERT_EQ(s.sy, sy);
}

TEST(StarCount, FiveTimesTheStoredValueWithinTheTable) {
  EXPECT_EQ(StarCount(2), 10);
  EXPECT_EQ(StarCount(99), 495);
  EXPECT_EQ(StarCount(100), 500);
  EXPECT_EQ(StarCount(101), kMaxStars);
  EXPECT_EQ(StarCount(32767), kMaxStars);
  EXPECT_EQ(StarCount(0), 5);
  EXPECT_EQ(StarCount(-40), 5);
}

TEST(Projection, PerspectiveCentreAndTheCameraDepth) {
  Camera c;
  c.half_width = 320;
  c.half_height = 240;
  std::int32_t x = -1, y = -1;
  ASSERT_TRUE(Project(c, 0, 0, 75, &x, &y));  // d = 200: scale 1
  EXPECT_EQ(x, 320);
  EXPECT_EQ(y, 240);
  ASSERT_TRUE(Project(c, 10, 10, 75, &x, &y));
  EXPECT_EQ(x, 330);
  EXPECT_EQ(y, 230);
  // Exactly at the camera's depth there is no projection: counted as behind.
  x = y = 7;
  EXPECT_FALSE(Project(c, 1, 1, -125.0, &x, &y));
  EXPECT_FALSE(Project(c, 1, 1, -126.0, &x, &y));
  EXPECT_EQ(x, 7);
  EXPECT_EQ(y, 7);
  // A swaying camera shifts the picture by its own x and y.
  c.x = 5;
  c.y = 3;
  ASSERT_TRUE(Project(c, 5, 3, 75, &x, &y));
  EXPECT_EQ(x, 325);
  EXPECT_EQ(y, 237);
}

TEST(StarPass, StarReachingTheCameraDepthRespawnsAndDrawsNothing) {
  SlotCanvas canvas(64, 48);
  Field f;
  for (bool pixel : {false, true}) {
    Prepare(f, 1, 64, 48, pixel);
    f.speed = 4;
    Aim(f, 30, 20, -121.0);  // after the move it sits exactly at the camera's depth
    f.stars[0].brightness = 50;
    SetPixel(canvas.dc(), 30, 20, PALETTEINDEX(7));
    const HPEN pen = CreatePen(PS_SOLID, 3, PALETTEINDEX(5));
    SelectObject(canvas.dc(), reinterpret_cast<HGDIOBJ>(pen));
    Pass(f, canvas.dc());
    SelectObject(canvas.dc(), GetStockObject(BLACK_PEN));
    DeleteObject(reinterpret_cast<HGDIOBJ>(pen));
    EXPECT_EQ(f.stars[0].brightness, 0.0f);
    EXPECT_GT(f.stars[0].z, f.camera.z);
    if (pixel) {
      // Its old pixel is still erased to index 0 in that pass.
      EXPECT_EQ(canvas.NonZero(), 0);
    } else {
      EXPECT_EQ(canvas.NonZero(), 1);  // only the pixel placed by the test
    }
    SetPixel(canvas.dc(), 30, 20, PALETTEINDEX(0));
  }
}

TEST(StarPass, StreakDrawnOnlyFromPreviousPositionsStrictlyInside) {
  SlotCanvas canvas(64, 48);
  Field f;
  const HPEN pen = CreatePen(PS_SOLID, 1, PALETTEINDEX(5));
  SelectObject(canvas.dc(), reinterpret_cast<HGDIOBJ>(pen));
  struct Case {
    int x, y;
    bool draws;
  } cases[] = {{0, 20, false}, {20, 0, false}, {1, 20, true}, {20, 1, true}, {40, 30, true}};
  for (const Case& c : cases) {
    Prepare(f, 1, 64, 48, false);
    f.speed = 30;
    Aim(f, c.x, c.y, 0.0);
    Pass(f, canvas.dc());
    EXPECT_EQ(canvas.NonZero() > 0, c.draws) << c.x << "," << c.y;
    PatBlt(canvas.dc(), 0, 0, 64, 48, BLACKNESS);
  }
  // Edges at W and H: set the stored position directly (off the bitmap).
  for (auto [x, y] : {std::pair{64, 20}, std::pair{20, 48}}) {
    Prepare(f, 1, 64, 48, false);
    f.speed = 30;
    Aim(f, 32, 24, 0.0);
    f.stars[0].sx = x;
    f.stars[0].sy = y;
    Pass(f, canvas.dc());
    EXPECT_EQ(canvas.NonZero(), 0) << x << "," << y;
  }
  SelectObject(canvas.dc(), GetStockObject(BLACK_PEN));
  DeleteObject(reinterpret_cast<HGDIOBJ>(pen));
}

TEST(StarPass, PixelModeErasesThenBrightensUpTo233) {
  SlotCanvas canvas(64, 48);
  // The engine's palette on the canvas puts index i in slot 10 + i.
  orvo::PaletteEngine* engine = orvo::CreatePaletteEngine(canvas.dc());
  ASSERT_NE(engine, nullptr);
  Field f;
  Prepare(f, 1, 64, 48, true);
  f.speed = 30;
  Aim(f, 50, 40, 0.0);
  // Moving towards the camera, the star leaves its pixel, which is reset to
  // index 0 (slot 10).
  SetPixel(canvas.dc(), 50, 40, PALETTEINDEX(9));
  Pass(f, canvas.dc());
  EXPECT_FLOAT_EQ(f.stars[0].brightness, 1.5f);
  const Star& s = f.stars[0];
  ASSERT_TRUE(s.sx != 50 || s.sy != 40);
  EXPECT_EQ(canvas.Slot(50, 40), 10);
  EXPECT_EQ(canvas.Slot(s.sx, s.sy), 10 + 1);
  f.speed = 0;
  Pass(f, canvas.dc());
  EXPECT_FLOAT_EQ(f.stars[0].brightness, 3.0f);
  EXPECT_EQ(canvas.Slot(f.stars[0].sx, f.stars[0].sy), 10 + 3);
  for (int i = 0; i < 400; ++i) Pass(f, canvas.dc());
  EXPECT_FLOAT_EQ(f.stars[0].brightness, 233.0f);
  EXPECT_EQ(canvas.Slot(f.stars[0].sx, f.stars[0].sy), 10 + 233);
  orvo::DestroyPaletteEngine(engine);
}

TEST(StarSpin, EachFlagTurnsAboutItsOwnAxisOnly) {
  SlotCanvas canvas(64, 48);
  Field f;
  for (int flag : {1, 2, 4}) {
    Prepare(f, 1, 640, 480, false);
    f.flags = static_cast<std::int16_t>(flag);
    f.speed = 0;
    f.stars[0].x = 100;
    f.stars[0].y = 50;
    f.stars[0].z = 300;
    Pass(f, canvas.dc());
    const Star& s = f.stars[0];
    const double c = std::cos(0.02), n = std::sin(0.02);
    if (flag == 1) {
      EXPECT_DOUBLE_EQ(s.x, 100 * c + 50 * n);
      EXPECT_DOUBLE_EQ(s.y, 50 * c - 100 * n);
      EXPECT_DOUBLE_EQ(s.z, 300);
    } else if (flag == 2) {
      EXPECT_DOUBLE_EQ(s.x, 100);
      EXPECT_DOUBLE_EQ(s.y, 50 * c + 300 * n);
      EXPECT_DOUBLE_EQ(s.z, 300 * c - 50 * n);
    } else {
      EXPECT_DOUBLE_EQ(s.z, 300 * c + 100 * n);
      EXPECT_DOUBLE_EQ(s.x, 100 * c - 300 * n);
      EXPECT_DOUBLE_EQ(s.y, 50);
    }
  }
}

TEST(StarStep, PaletteTickOnlyInStreakModeAndCounterWraps) {
  SlotCanvas canvas(64, 48);
  orvo::PaletteEngine* engine = orvo::CreatePaletteEngine(canvas.dc());
  ASSERT_NE(engine, nullptr);
  Field f;
  for (bool pixel : {true, false}) {
    Prepare(f, 0, 64, 48, pixel);
    engine->next_step_time = 0;  // a tick would run now and move this
    Step(f, canvas.dc(), engine);
    if (pixel) {
      EXPECT_EQ(engine->next_step_time, 0u);
    } else {
      EXPECT_NE(engine->next_step_time, 0u);
    }
  }
  Prepare(f, 0, 64, 48, true);
  for (long i = 0; i < 65535; ++i) Step(f, canvas.dc(), engine);
  EXPECT_EQ(f.frame, 65535);
  Step(f, canvas.dc(), engine);
  EXPECT_EQ(f.frame, 0);
  Step(f, canvas.dc(), engine);
  EXPECT_EQ(f.frame, 1);
  orvo::DestroyPaletteEngine(engine);
}

// Size, Speed and Type are used as the absolute value of their low 16
// bits; -32768 has no 16-bit absolute value and is held at 32767.
TEST(StarSettings, AbsoluteValueOfTheLowSixteenBits) {
  struct Case {
    std::int32_t stored;
    int held;
  } cases[] = {{0, 0},         {4, 4},         {-4, 4},        {65535, 1},     {65536, 0},
               {-65536, 0},    {-32768, 32767}, {32768, 32767}, {-32769, 32767}, {32767, 32767},
               {INT32_MIN, 0}, {INT32_MAX, 1},  {-2147450880, 32767}, {70000, 4464}};
  for (const Case& c : cases) EXPECT_EQ(Abs16(c.stored), c.held) << c.stored;
}

// A star a hair in front of the camera projects to a point beyond any
// 32-bit coordinate: the conversion gives the integer-indefinite value and
// the star's next previous position (its low 16 bits, 0) draws no streak.
TEST(Projection, FarBeyondTheWindowGivesTheIndefiniteValue) {
  Camera c;
  c.half_width = 320;
  c.half_height = 240;
  std::int32_t x = 0, y = 0;
  ASSERT_TRUE(Project(c, 1e6, -1e6, -125.0 + 1e-9, &x, &y));
  EXPECT_EQ(x, INT32_MIN);
  EXPECT_EQ(y, INT32_MIN);
  // Straight ahead stays at the centre however close.
  c.z = 0.0;
  ASSERT_TRUE(Project(c, 0, 0, 1e-300, &x, &y));
  EXPECT_EQ(x, 320);
  EXPECT_EQ(y, 240);
}

TEST(StarSway, CameraFollowsThePhasesOnlyFromFlag8) {
  Field f;
  Prepare(f, 0, 64, 48, false);
  f.flags = 7;
  Sway(f);
  EXPECT_DOUBLE_EQ(f.camera.z, -125.0);
  EXPECT_DOUBLE_EQ(f.camera.x, 0.0);
  f.flags = 8;
  Sway(f);
  Sway(f);
  EXPECT_DOUBLE_EQ(f.camera.x, 200 * std::sin(0.03 + 0.03));
  EXPECT_DOUBLE_EQ(f.camera.y, 200 * std::sin(0.02 + 0.02));
  EXPECT_DOUBLE_EQ(f.camera.z, 100 * std::sin(0.01 + 0.01) - 200);
}

}  // namespace
