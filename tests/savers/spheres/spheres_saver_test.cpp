// The spheres saver through the real shell and host on the headless display.
#include "savers/spheres/spheres_saver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/host/host.h"
#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "savers/spheres/sphere_figure.h"
#include "tests/support/palette_replay.h"
#include "tests/support/recording_test.h"
#include "tests/support/saver_probe.h"
#include "tools/orvo-render/render.h"

namespace {

using orvo::render::Options;
using orvo::render::RecordSaver;
using orvo::testing::NonBlack;
using orvo::testing::HandRand;

class SpheresSaverTest : public orvo::testing::RecordingTest {};

TEST_F(SpheresSaverTest, ImageDurationClearsThePicture) {
  // 16 ms a timer: with Duration 1 the picture is cleared about once a
  // second, so a picture just after a clear holds few spheres.
  Options o = Opts(160, 120, 0);
  o.settings = {{"Duration", "1"}, {"Size", "20"}};
  o.timers = 62;  // just before the first deadline
  const int full = NonBlack(RecordSaver(kSpheresSaver, o));
  Fresh();
  o.timers = 64;  // just after it
  const int fresh = NonBlack(RecordSaver(kSpheresSaver, o));
  EXPECT_LT(fresh, full);
}

// The image start and the first frame step, replayed by hand from the
// saver's rules with the real palette engine: each random draw in its
// place, the engine's fields and first palette, the per-image values, then
// one ring of spheres whose last stamp shows the chosen image's rings.
TEST_F(SpheresSaverTest, ImageStartAndFirstStepFollowTheRandomSequence) {
  struct Case {
    int width, height;
    std::uint32_t clock;
    int size, symmetry, type, duration, tweak, effect, shifted;
  };
  const Case cases[] = {
      {320, 240, 1000003, 100, 8, 0, 20, 3, 4, 0},  // the defaults
      {160, 120, 1234567, 31, 5, 7, 1, 15, 0, 1},   // wedge, mirror, random size
      {300, 220, 424243, 40, 4, 2, 600, 1, 1, 1},   // mirror
      {300, 300, 77777, 25, 2, 5, 3, 1000, 2, 0},   // N = 2: no wedge
      {320, 200, 31337, 60, 12, 4, 20, 7, 3, 1},    // random size
      {200, 150, 900004, 10, 128, 0, 20, 3, 4, 1},
  };
  int ring_checks = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "clock " << c.clock << " type " << c.type);
    Fresh();
    Options o = Opts(c.width, c.height, 0);
    o.clock = c.clock;
    o.settings = {{"Size", std::to_string(c.size)},         {"Symetry", std::to_string(c.symmetry)},
                  {"Type", std::to_string(c.type)},         {"Duration", std::to_string(c.duration)},
                  {"Tweak", std::to_string(c.tweak)},       {"Effect", std::to_string(c.effect)},
                  {"Shifted", std::to_string(c.shifted)}};
    orvo::testing::ProbeAfterSetUp(kSpheresSaver, o, [&] {
      HandRand r(orvo::testing::SetUpSeed(o));
      // 1. The colour multiplier. 2. The first image creates the engine,
      // which draws its random-events flag.
      const int k = r.Next() % 8;
      const int events = r.Next() & 1;
      // 3. Palette duration and shifted flag; the effect; the ramp decay;
      // the wave spread 22; a new palette.
      orvo::testing::ImagePalette want;
      want.duration_ms = static_cast<std::uint32_t>(c.tweak) * 1000u;
      want.shifted = c.shifted;
      want.decay_base = 0.9f;
      want.decay_range = 0.09f;
      want.effect = orvo::testing::ReplaySelectEffect(r, c.effect, c.shifted);
      want.spread = 22;
      want.palette = orvo::testing::ReplayNewPalette(r, want.effect, want.spread);
      // 4. Sector angle, reach, palette step interval, deadline.
      const int n = c.symmetry;
      const float s = 6.2832f / static_cast<float>(n);
      const int hw = c.width / 2, hh = c.height / 2;
      const float reach = std::sqrt(static_cast<float>(hw * hw + hh * hh));
      const int m = r.Next() % 30 + 30;
      // 5. Flags and centre.
      const bool wedge = (c.type & 1) != 0 && n >= 3;
      const bool mirror = (c.type & 2) != 0;
      const bool random_size = (c.type & 4) != 0;

      const auto view = orvo::spheres::View();
      ASSERT_NE(view.figure, nullptr);
      ASSERT_NE(view.engine, nullptr);
      const orvo::spheres::Figure& f = *view.figure;
      EXPECT_EQ(view.engine->random_events, events);
      orvo::testing::ExpectFreshPalette(*view.engine, want);
      EXPECT_EQ(f.size, c.size);
      EXPECT_EQ(f.n, n);
      EXPECT_EQ(f.k, k);
      EXPECT_EQ(f.m, m);
      EXPECT_EQ(f.deadline, c.clock + static_cast<std::uint32_t>(c.duration) * 1000u);
      EXPECT_EQ(f.sector, s);
      EXPECT_EQ(f.reach, reach);
      EXPECT_EQ(f.wedge, wedge);
      EXPECT_EQ(f.mirror, mirror);
      EXPECT_EQ(f.random_size, random_size);
      EXPECT_EQ(f.cx, hw);
      EXPECT_EQ(f.cy, hh);

      // One frame step with the palette step due: phase, distance, the
      // image from the distance, the size; the first palette tick steps
      // the engine, which may draw its random event.
      orvo::headless::AdvanceClock(1);
      kSpheresSaver.hooks.frame_step();
      float p = r.Unit() * s;
      const float d = r.Unit() * reach;
      const int colour = static_cast<int>(std::trunc(static_cast<double>(d) / reach * 235.0)) * k;
      const int image = (colour / 20) % 10;
      const int z = random_size ? std::min(r.Next() % c.size + 10, c.size) : c.size;
      if (events != 0 && r.Next() % 1000 == 1) {
        for (int j = 0; j < 3; ++j) r.Next();  // phase jumps
      }
      EXPECT_EQ(rand15(), r.Next()) << "the generator was drawn a different number of times";

      // The last copy drawn: sector N - 1 (its mirrored copy when
      // mirroring), whose phase alternates from sector to sector.
      for (int i = 0; i < n - 1; ++i) p = s - p;
      const double angle = static_cast<double>(n - 1) * s + (mirror ? s - p : p);
      const int x = hw + static_cast<int>(std::trunc(d * std::sin(angle)));
      const int y = hh + static_cast<int>(std::trunc(d * std::cos(angle)));
      const int rho0 = (c.size + 2) / 2;
      const int h = z / 2;
      const auto picture = orvo::testing::WindowPicture(orvo::host::Window());
      const auto at = [&](int px, int py) {
        return picture.pixels[static_cast<std::size_t>(py) * picture.width + px];
      };
      const bool inside = x - h >= 0 && x + h < c.width && y - h >= 0 && y + h < c.height;
      if (!wedge && inside) {
        // The image's point (c, c) lands on (x, y): the disc of the box
        // (c - 1, c - 1)..(c + 1, c + 1) shows there; the disc of half
        // width h reaches the copy's left and top edges.
        EXPECT_EQ(at(x, y), 10 + (20 * image + rho0 - 2) % 235);
        EXPECT_EQ(at(x - h, y), 10 + (20 * image + rho0 - 1 - h) % 235);
        EXPECT_EQ(at(x, y - h), 10 + (20 * image + rho0 - 1 - h) % 235);
        ++ring_checks;
      } else if (x >= 0 && x < c.width && y >= 0 && y < c.height) {
        EXPECT_NE(at(x, y), 0);
      }
    });
  }
  EXPECT_GE(ring_checks, 4);
}

// Every new image starts on a black window: the image start clears it
// after the last ring of the old image, so the picture after that frame
// step is black.
TEST_F(SpheresSaverTest, NewImageStartsOnAClearedWindow) {
  Options o = Opts(160, 120, 140);
  o.settings = {{"Duration", "1"}, {"Size", "20"}};
  long images = 1;
  int restarts = 0;
  int painted_before = 0;
  RecordSaver(kSpheresSaver, o, [&](long) {
    const int painted = NonBlack(orvo::testing::WindowPicture(orvo::host::Window()));
    const long started = orvo::spheres::View().images_started;
    if (started != images) {
      EXPECT_GT(painted_before, 0);
      EXPECT_EQ(painted, 0) << "the old image shows in the new one";
      ++restarts;
      images = started;
    }
    painted_before = painted;
    return true;
  });
  EXPECT_EQ(restarts, 2);
}

}  // namespace
