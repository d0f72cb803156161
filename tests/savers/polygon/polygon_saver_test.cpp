// The polygon saver through the real shell and host on the headless display.
#include "savers/polygon/polygon_saver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>

#include "framework/host/host.h"
#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "savers/polygon/polygon_figure.h"
#include "tests/support/palette_replay.h"
#include "tests/support/recording_test.h"
#include "tests/support/saver_probe.h"
#include "tools/orvo-render/render.h"

namespace {

using orvo::render::Options;
using orvo::render::RecordSaver;
using orvo::testing::HandRand;

class PolygonSaverTest : public orvo::testing::RecordingTest {};

TEST_F(PolygonSaverTest, ANewImageStartsEveryHundredSeconds) {
  Options o = Opts(48, 36, 230);
  o.period = 1000;  // one virtual second per timer message
  o.settings = {{"Symetry", "1"}};
  long at_99 = 0, at_102 = 0, at_230 = 0;
  DWORD first_end = 0;
  RecordSaver(kPolygonSaver, o, [&](long timer) {
    const auto view = orvo::polygon::View();
    if (timer == 1) first_end = view.figure->end_time;
    if (timer == 99) at_99 = view.images_started;
    if (timer == 102) at_102 = view.images_started;
    if (timer == 230) at_230 = view.images_started;
    return true;
  });
  EXPECT_EQ(first_end, o.clock + 100000u);
  EXPECT_EQ(at_99, 1);
  EXPECT_EQ(at_102, 2);
  EXPECT_EQ(at_230, 3);
}

TEST_F(PolygonSaverTest, DefaultsRunTenCopiesOfThreeVertices) {
  Options o = Opts(152, 112, 3);
  int n = 0, s = 0, v = 0;
  RecordSaver(kPolygonSaver, o, [&](long) {
    const orvo::polygon::Figure* f = orvo::polygon::View().figure;
    n = f->n;
    s = f->s;
    v = f->v;
    return true;
  });
  EXPECT_EQ(n, 3);
  EXPECT_EQ(s, 10);
  EXPECT_EQ(v, 4);
}

// The image start and the first frame step, replayed by hand from the
// saver's rules with the real palette engine: each random draw in its
// place, the engine's fields and first palette, the box, vertices and
// velocities, then one step of colour, copies and movement.
TEST_F(PolygonSaverTest, ImageStartAndFirstStepFollowTheRandomSequence) {
  struct Case {
    int width, height;
    std::uint32_t clock;
    int vertices, symmetry, speed, type, tweak, effect, shifted;
  };
  const Case cases[] = {
      {160, 120, 1000000, 3, 10, 4, 0, 3, 4, 0},  // the defaults
      {200, 150, 1234567, 7, 5, 9, 1, 12, 0, 1},  // random counts
      {97, 61, 424242, 5, 1, 30, 0, 1, 1, 1},     // symmetry 1: the whole window
      {60, 40, 77777, 4, 20, 3, 0, 1000, 2, 0},   // halves below 2s: negative box
      {150, 100, 31337, 99, 50, 1, 1, 15, 3, 1},  // the dialog's largest
      {120, 90, 900001, 2, 2, 2, 0, 7, 4, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "clock " << c.clock << " effect " << c.effect);
    Fresh();
    Options o = Opts(c.width, c.height, 0);
    o.clock = c.clock;
    o.settings = {{"Vertices", std::to_string(c.vertices)}, {"Symetry", std::to_string(c.symmetry)},
                  {"Speed", std::to_string(c.speed)},       {"Type", std::to_string(c.type)},
                  {"Tweak", std::to_string(c.tweak)},       {"Effect", std::to_string(c.effect)},
                  {"Shifted", std::to_string(c.shifted)}};
    orvo::testing::ProbeAfterSetUp(kPolygonSaver, o, [&] {
      HandRand r(orvo::testing::SetUpSeed(o));
      // 1. Counts as read. 2. The first image creates the engine, which
      // draws its random-events flag.
      int n = c.vertices, s = c.symmetry, v = c.speed;
      const int events = r.Next() & 1;
      // 4. Speed limited to 100. 5. Random counts: n, then s, then v.
      v = std::min(v, 100);
      if (c.type != 0) {
        n = r.Next() % n + 2;
        s = r.Next() % s + 1;
        v = r.Next() % v + 1;
      }
      // 8. Outline one image in four. 9. Centre.
      const bool outline = r.Next() % 4 == 0;
      const int cx = c.width / 2, cy = c.height / 2;
      // 10. The box.
      int X = c.width, Y = c.height;
      if (s != 1) {
        X = r.Next() % (cx - 2 * s) - 2 * s + cx;
        Y = r.Next() % (cy - 2 * s) - 2 * s + cy;
      }
      // 11. Vertices from the last down to the first: x, y, then the signs
      // of dx and dy.
      int x[100], y[100], dx[100], dy[100];
      for (int i = n - 1; i >= 0; --i) {
        x[i] = r.Next() % X;
        y[i] = r.Next() % Y;
        dx[i] = (r.Next() & 1) != 0 ? -v : v;
        dy[i] = (r.Next() & 1) != 0 ? -v : v;
      }
      // 12. The effect, the ramp decay, the wave spread drawn here, a new
      // palette.
      orvo::testing::ImagePalette want;
      want.duration_ms = static_cast<std::uint32_t>(c.tweak) * 1000u;
      want.shifted = c.shifted;
      want.decay_base = 0.9f;
      want.decay_range = 0.09f;
      want.effect = orvo::testing::ReplaySelectEffect(r, c.effect, c.shifted);
      want.spread = r.Next() % 10 + 8;
      want.palette = orvo::testing::ReplayNewPalette(r, want.effect, want.spread);
      // 13. Image end and palette step interval.
      const int m = r.Next() % 30 + 30;

      const auto view = orvo::polygon::View();
      ASSERT_NE(view.figure, nullptr);
      ASSERT_NE(view.engine, nullptr);
      const orvo::polygon::Figure& f = *view.figure;
      EXPECT_EQ(view.engine->random_events, events);
      orvo::testing::ExpectFreshPalette(*view.engine, want);
      ASSERT_EQ(f.n, n);
      EXPECT_EQ(f.s, s);
      EXPECT_EQ(f.v, v);
      EXPECT_EQ(f.angle_step, 6.2832f / static_cast<float>(s));
      EXPECT_EQ(f.outline, outline);
      EXPECT_EQ(f.cx, cx);
      EXPECT_EQ(f.cy, cy);
      EXPECT_EQ(f.x_extent, X);
      EXPECT_EQ(f.y_extent, Y);
      EXPECT_EQ(f.colour.index(), 1);
      EXPECT_EQ(f.end_time, c.clock + 100000u);
      EXPECT_EQ(f.interval, m);
      for (int i = 0; i < n; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(f.vertices[i].x, x[i]);
        EXPECT_EQ(f.vertices[i].y, y[i]);
        EXPECT_EQ(f.velocity[i].x, dx[i]);
        EXPECT_EQ(f.velocity[i].y, dy[i]);
      }

      // One frame step with the palette step due: colour 2, the copies
      // (the first palette tick steps the engine, which may draw its
      // random event), then every vertex moves or bounces, x before y.
      orvo::headless::AdvanceClock(1);
      kPolygonSaver.hooks.frame_step();
      if (events != 0 && r.Next() % 1000 == 1) {
        for (int k = 0; k < 3; ++k) r.Next();  // phase jumps
      }
      EXPECT_EQ(f.colour.index(), 2);
      for (int i = 0; i < n; ++i) {
        SCOPED_TRACE(i);
        if (x[i] + dx[i] < 0 || x[i] + dx[i] > X) {
          dx[i] = -dx[i];
        } else {
          x[i] += dx[i];
        }
        if (y[i] + dy[i] < 0 || y[i] + dy[i] > Y) {
          dy[i] = -dy[i];
        } else {
          y[i] += dy[i];
        }
        EXPECT_EQ(f.vertices[i].x, x[i]);
        EXPECT_EQ(f.vertices[i].y, y[i]);
        EXPECT_EQ(f.velocity[i].x, dx[i]);
        EXPECT_EQ(f.velocity[i].y, dy[i]);
      }
      EXPECT_EQ(rand15(), r.Next()) << "the generator was drawn a different number of times";
      // Only the fill colour 2 and, with an outline, its mirror 233 are on
      // the window (palette entry i is slot 10 + i).
      const auto picture = orvo::testing::WindowPicture(orvo::host::Window());
      std::set<int> slots(picture.pixels.begin(), picture.pixels.end());
      slots.erase(0);
      slots.erase(12);
      if (outline) slots.erase(243);
      EXPECT_TRUE(slots.empty()) << "another colour, slot " << *slots.begin();
    });
  }
}

// A new image starts on a black window: right after it the window holds
// only the colours of the new image's first steps (fill 2..6 and their
// outlines), though the old image had walked through many more.
TEST_F(PolygonSaverTest, NewImageStartsOnAClearedWindow) {
  Options o = Opts(120, 90, 104);
  o.period = 1000;  // one virtual second per timer message: a new image at 101
  o.settings = {{"Symetry", "3"}};
  long images = 1;
  int restarts = 0;
  int other_before = 0;
  std::set<int> allowed = {0};
  for (int c = 2; c <= 6; ++c) {
    allowed.insert(10 + c);
    allowed.insert(10 + 235 - c);
  }
  RecordSaver(kPolygonSaver, o, [&](long) {
    const auto picture = orvo::testing::WindowPicture(orvo::host::Window());
    int other = 0;
    for (auto p : picture.pixels) other += allowed.count(p) == 0;
    const long started = orvo::polygon::View().images_started;
    if (started != images) {
      EXPECT_GT(other_before, 0) << "the old image showed no other colour";
      EXPECT_EQ(other, 0) << "the old image shows through the new one";
      ++restarts;
      images = started;
    }
    other_before = other;
    return true;
  });
  EXPECT_EQ(restarts, 1);
}

}  // namespace
