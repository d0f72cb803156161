// The vortex saver through the real shell and host on the headless display.
#include "savers/vortex/vortex_saver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "framework/palette/palette_engine.h"
#include "framework/host/host.h"
#include "orvo/headless.h"
#include "savers/vortex/vortex_ring.h"
#include "tests/support/palette_replay.h"
#include "tests/support/recording_test.h"
#include "tests/support/saver_probe.h"
#include "tools/orvo-render/render.h"

namespace {

using orvo::render::Options;
using orvo::render::RecordSaver;
using orvo::testing::HandRand;

class VortexSaverTest : public orvo::testing::RecordingTest {};

TEST_F(VortexSaverTest, EachNewVortexRestartsItsFrameCounter) {
  // Half the diagonal is 100: every vortex draws at least 11 bands.
  Options o = Opts(160, 120, 60);
  o.settings = {{"Duration", "0"}};
  long images = 0;
  int restarts_seen = 0;
  int last_frame = 0;
  RecordSaver(kVortexSaver, o, [&](long) {
    const auto view = orvo::vortex::View();
    if (view.images_started != images) {
      if (images != 0) {
        ++restarts_seen;
        // At most one timer's five frame steps since the new start.
        EXPECT_LE(view.ring->frame, 6);
        EXPECT_LT(view.ring->frame, last_frame);
      }
      images = view.images_started;
    }
    last_frame = view.ring->frame;
    return true;
  });
  EXPECT_GE(restarts_seen, 3);
}

// The image start and the first frame step, replayed by hand from the
// saver's rules with the real palette engine: each random draw in its
// place, the engine's fields and first palette, the ring placed and moved
// once without drawing, then one ring step and band.
TEST_F(VortexSaverTest, ImageStartAndFirstStepFollowTheRandomSequence) {
  struct Case {
    int width, height;
    std::uint32_t clock;
    int points, scale, amplitude, duration, tweak, effect, shifted;
  };
  const Case cases[] = {
      {160, 120, 1000000, 60, 300, 20, 20, 15, 4, 1},  // the defaults
      {200, 150, 1234567, 7, 1, 200, 0, 3, 0, 0},
      {97, 61, 424242, 2, 150, 1, 5, 1, 1, 1},
      {128, 96, 77777, 13, 250, 55, 600, 1000, 2, 1},
      {150, 100, 31337, 100, 42, 100, 20, 15, 3, 0},
      {120, 90, 900001, 5, 299, 150, 1, 7, 4, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "clock " << c.clock << " effect " << c.effect);
    Fresh();
    Options o = Opts(c.width, c.height, 0);
    o.clock = c.clock;
    o.settings = {{"Vortex", std::to_string(c.points)},  {"Scale", std::to_string(c.scale)},
                  {"Amplitude", std::to_string(c.amplitude)},
                  {"Duration", std::to_string(c.duration)}, {"Tweak", std::to_string(c.tweak)},
                  {"Effect", std::to_string(c.effect)},  {"Shifted", std::to_string(c.shifted)}};
    orvo::testing::ProbeAfterSetUp(kVortexSaver, o, [&] {
      HandRand r(orvo::testing::SetUpSeed(o));
      const int n = c.points;
      // 1. N; S from the image's first draw; A; hold time.
      const float S = (r.Unit() + 3.0f) * static_cast<float>(301 - c.scale);
      const float A = static_cast<float>(c.amplitude) * 0.0033333334f;
      // 2. The first image creates the engine, which draws its
      //    random-events flag.
      const int events = r.Next() & 1;
      // 3. Palette duration and shifted flag; the effect; the ramp decay;
      //    the wave spread, drawn here; a new palette.
      orvo::testing::ImagePalette want;
      want.duration_ms = static_cast<std::uint32_t>(c.tweak) * 1000u;
      want.shifted = c.shifted;
      want.decay_base = 0.6f;
      want.decay_range = 0.2f;
      want.effect = orvo::testing::ReplaySelectEffect(r, c.effect, c.shifted);
      want.spread = r.Next() % 6 + 4;
      want.palette = orvo::testing::ReplayNewPalette(r, want.effect, want.spread);
      // 4. Centre, radius (half the diagonal), shrink.
      const int cx = c.width / 2, cy = c.height / 2;
      float rho = std::sqrt(static_cast<float>(cx * cx + cy * cy));
      const float delta = r.Unit() * 6.0f + 3.0f;
      // 5. The ring: one draw for the colour pattern, angles summed from
      //    point N - 1 down to 0.
      const int q = r.Next();
      float angle[100];
      int offset[100];
      float sum = 0.0f;
      for (int i = n - 1; i >= 0; --i) {
        angle[i] = sum;
        offset[i] = (q % 3 != 0 && i % 2 == 1) ? n - i : i;
        sum += 6.283184f / static_cast<float>(n);
      }
      // 6. One ring step without drawing.
      int x[100], y[100];
      const auto ring_step = [&] {
        for (int i = 0; i < n; ++i) {
          x[i] = static_cast<std::int16_t>(cx + std::trunc(rho * std::sin(double{angle[i]})));
          y[i] = static_cast<std::int16_t>(cy + std::trunc(rho * std::cos(double{angle[i]})));
        }
        rho -= delta;
        const double turn = std::sin(double{rho / S}) * A;
        for (int i = 0; i < n; ++i) angle[i] = static_cast<float>(angle[i] + turn);
      };
      ring_step();
      // 7. Palette step interval.
      const int m = r.Next() % 20 + 30;

      const auto view = orvo::vortex::View();
      ASSERT_NE(view.ring, nullptr);
      ASSERT_NE(view.engine, nullptr);
      const orvo::vortex::Ring& ring = *view.ring;
      EXPECT_EQ(view.engine->random_events, events);
      orvo::testing::ExpectFreshPalette(*view.engine, want);
      EXPECT_EQ(ring.n, n);
      EXPECT_EQ(ring.twist_scale, S);
      EXPECT_EQ(ring.twist_amplitude, A);
      EXPECT_EQ(ring.hold_time, static_cast<DWORD>(c.duration) * 1000u);
      EXPECT_EQ(ring.cx, cx);
      EXPECT_EQ(ring.cy, cy);
      EXPECT_EQ(ring.delta, delta);
      EXPECT_EQ(ring.rho, rho);
      EXPECT_EQ(ring.frame, 1);
      EXPECT_EQ(ring.interval, m);
      for (int i = 0; i < n; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ring.points[i].offset, offset[i]);
        EXPECT_EQ(ring.points[i].prev_x, cx);
        EXPECT_EQ(ring.points[i].prev_y, cy);
        EXPECT_EQ(ring.points[i].x, x[i]);
        EXPECT_EQ(ring.points[i].y, y[i]);
        EXPECT_FLOAT_EQ(ring.points[i].angle, angle[i]);
      }

      // One frame step with the palette step due: the engine steps and,
      // with its flag set, draws its random event; then the ring moves and
      // its band is drawn.
      orvo::headless::AdvanceClock(1);
      kVortexSaver.hooks.frame_step();
      if (events != 0 && r.Next() % 1000 == 1) {
        for (int k = 0; k < 3; ++k) r.Next();  // phase jumps
      }
      int old_x[100], old_y[100];
      std::copy(x, x + n, old_x);
      std::copy(y, y + n, old_y);
      ring_step();
      EXPECT_EQ(ring.frame, 2);
      EXPECT_EQ(ring.rho, rho);
      for (int i = 0; i < n; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ring.points[i].prev_x, old_x[i]);
        EXPECT_EQ(ring.points[i].prev_y, old_y[i]);
        EXPECT_EQ(ring.points[i].x, x[i]);
        EXPECT_EQ(ring.points[i].y, y[i]);
      }
      EXPECT_EQ(rand15(), r.Next()) << "the generator was drawn a different number of times";
    });
  }
}

// A new vortex starts on a black window: right after a restart the new
// ring is still far out, so the disc around the centre must be black,
// though the finished vortex before it covered the centre.
TEST_F(VortexSaverTest, NewImageStartsOnAClearedWindow) {
  // Half the diagonal is 125 and a ring shrinks at most 9 pixels a frame
  // step: five steps after a restart the new bands lie beyond radius 80.
  Options o = Opts(200, 150, 80);
  o.settings = {{"Duration", "0"}, {"Vortex", "60"}};
  long images = 1;
  int restarts = 0;
  int centre_before = 0;
  RecordSaver(kVortexSaver, o, [&](long) {
    const auto view = orvo::vortex::View();
    const int centre = orvo::testing::PaintedWithin(
        orvo::testing::WindowPicture(orvo::host::Window()), 100, 75, 40);
    if (view.images_started != images) {
      EXPECT_GT(centre_before, 0) << "the finished vortex did not cover the centre";
      EXPECT_EQ(centre, 0) << "the old vortex shows through the new one";
      ++restarts;
      images = view.images_started;
    }
    centre_before = centre;
    return true;
  });
  EXPECT_GE(restarts, 3);
}

}  // namespace
