// The beziers saver run through the real shell, host and palette engine,
// against a replay by hand of its rules: the random sequence of a new
// figure (the engine's creation, the change time, the speed, the effect,
// the spread, the new palette, the scattered points, the palette
// interval), one frame step with its bounces, rotated copies, picture and
// random events, and the clearing at a new figure.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "savers/beziers/beziers_figure.h"
#include "savers/beziers/beziers_saver.h"
#include "tests/support/palette_replay.h"
#include "tests/support/recording_test.h"
#include "tests/support/saver_probe.h"
#include "tests/support/trail_canvas.h"

namespace {

using orvo::testing::HandRand;
using orvo::testing::Probe;
using orvo::testing::FigureChange;
using orvo::testing::ProbeOptions;
using orvo::testing::StepPastFigureChange;
using orvo::testing::WindowShows;

struct HandPoint {
  int x, y, vx, vy;
};

struct Case {
  std::uint32_t clock;
  int width, height;
  std::string beziers, symmetry, tail, pen;
  int tweak, effect, shifted;
  int b, s, w;  // as the figure holds them
  int speed_range;  // (w >> 2) + 4, or 1 where that is 0
};

class BeziersReplayTest : public orvo::testing::RecordingTest {};

TEST_F(BeziersReplayTest, NewFigureAndOneFrameStepFollowTheRulesDrawForDraw) {
  const Case cases[] = {
      {1000000, 160, 120, "1", "8", "100", "100", 15, 4, 1, 1, 8, 100, 29},  // every default
      {4321, 120, 90, "3", "1", "1", "0", 3, 0, 0, 3, 1, 0, 4},              // Ramp, unrotated
      {9999, 100, 100, "20", "3", "100", "300", 9, 1, 1, 20, 3, 300, 79},    // a 300 pen: speeds 1..79
      {123, 80, 60, "2", "5", "50", "-14", 4, 2, 1, 2, 5, -14, 1},           // speed range 0 taken as 1
      {65000, 64, 64, "65537", "65544", "100", "65548", 2, 3, 0, 1, 8, 12, 7},  // 16-bit reads
      {5555, 90, 70, "2", "2", "100", "-40", 15, 4, 0, 2, 2, -40, -6},       // negative speed range
      {808, 50, 40, "7", "4", "100", "1", 15, 4, 1, 7, 4, 1, 4},
  };
  for (const Case& c : cases) {
    Fresh();
    const std::string where = "clock " + std::to_string(c.clock);
    SCOPED_TRACE(where);
    ProbeOptions o;
    o.width = c.width;
    o.height = c.height;
    o.clock = c.clock;
    o.settings = {{"Beziers", c.beziers}, {"Symetry", c.symmetry}, {"TailLength", c.tail},
                  {"PenWidth", c.pen},    {"Tweak", std::to_string(c.tweak)},
                  {"Effect", std::to_string(c.effect)}, {"Shifted", std::to_string(c.shifted)}};
    const int W = c.width, H = c.height, w = c.w;
    const int P = 2 * c.b + 4;

    // The new figure by hand, in the order of its numbered steps.
    HandRand r{c.clock & 0xFFFF};
    const int events_flag = r.Next() & 1;  // the engine, created in allocate
    const std::uint32_t change = c.clock + 200u * static_cast<std::uint32_t>(5 * (r.Next() % 40) + 50);
    const int speed = r.Next() % c.speed_range + 1;
    orvo::testing::EffectChoice effect = orvo::testing::ReplaySelectEffect(r, c.effect, c.shifted);
    const int spread = r.Next() % (c.b + 10) + 6;
    const orvo::testing::PaletteChoice palette = orvo::testing::ReplayNewPalette(r, effect, spread);
    const float phi = 6.2832f / static_cast<float>(c.s);
    const int cx = W >> 1, cy = H >> 1;
    const int x_min = static_cast<std::int16_t>(-40 - w), x_end = static_cast<std::int16_t>(W + w + 40);
    const int y_min = static_cast<std::int16_t>(-40 - w), y_end = static_cast<std::int16_t>(H + w + 40);
    std::vector<HandPoint> points(static_cast<std::size_t>(P));
    for (HandPoint& p : points) {
      p.x = r.Next() % (W - 10) + 5;
      p.y = r.Next() % (H - 10) + 5;
      p.vx = r.Next() % 2 == 0 ? 1 : -1;
      p.vy = r.Next() % 2 == 0 ? 1 : -1;
    }
    const int interval = r.Next() % 20 + 30;

    bool checked = false;
    auto check = [&](Probe& probe) {
      const auto view = orvo::beziers::View();
      EXPECT_TRUE(view.figure != nullptr && view.engine != nullptr);
      if (view.figure == nullptr || view.engine == nullptr) return;
      const orvo::beziers::Figure& f = *view.figure;
      const orvo::PaletteEngine& e = *view.engine;
      EXPECT_EQ(rand15_state(), r.state) << "draws after set-up";
      EXPECT_EQ(e.random_events, events_flag);
      orvo::testing::ExpectEngine(e, effect, palette, spread, 0.6f, 0.2f, "after set-up");
      EXPECT_EQ(e.palette_duration, static_cast<std::uint32_t>(c.tweak) * 1000u);
      EXPECT_EQ(f.b, c.b);
      EXPECT_EQ(f.p, P);
      EXPECT_EQ(f.s, c.s);
      EXPECT_EQ(f.width, w);
      EXPECT_EQ(f.speed, speed);
      EXPECT_EQ(f.phi, phi);
      EXPECT_EQ(f.cx, cx);
      EXPECT_EQ(f.cy, cy);
      EXPECT_EQ(f.x_min, x_min);
      EXPECT_EQ(f.x_end, x_end);
      EXPECT_EQ(f.y_min, y_min);
      EXPECT_EQ(f.y_end, y_end);
      EXPECT_EQ(f.change_time, change);
      EXPECT_EQ(f.interval, interval);
      EXPECT_EQ(f.trail.colour().index(), 0);
      for (int i = 0; i < P; ++i) {
        for (const orvo::beziers::PointSet* set : {&f.trail.head(), &f.trail.eraser()}) {
          ASSERT_EQ(set->points[i].x, points[i].x) << "point " << i;
          ASSERT_EQ(set->points[i].y, points[i].y) << "point " << i;
          ASSERT_EQ(set->velocity[i].x, points[i].vx) << "point " << i;
          ASSERT_EQ(set->velocity[i].y, points[i].vy) << "point " << i;
        }
      }

      // One frame step, a millisecond on: colour index 1, the points moved
      // (an axis that would leave the frame reverses and stays), every
      // copy's curves drawn, a palette step at the first curve's tick.
      orvo::headless::AdvanceClock(1);
      for (HandPoint& p : points) {
        const int nx = p.x + speed * p.vx;
        if (nx >= x_min && nx < x_end) {
          p.x = nx;
        } else {
          p.vx = -p.vx;
        }
        const int ny = p.y + speed * p.vy;
        if (ny >= y_min && ny < y_end) {
          p.y = ny;
        } else {
          p.vy = -p.vy;
        }
      }
      if (orvo::testing::ReplayRandomEvents(r, events_flag) == 0) {
        for (int& s : effect.shift) s = -s;
      }
      probe.FrameStep();
      EXPECT_EQ(rand15_state(), r.state) << "draws in the frame step";
      EXPECT_EQ(f.trail.colour().index(), 1);
      for (int i = 0; i < P; ++i) {
        ASSERT_EQ(f.trail.head().points[i].x, points[i].x) << "point " << i;
        ASSERT_EQ(f.trail.head().points[i].y, points[i].y) << "point " << i;
        ASSERT_EQ(f.trail.head().velocity[i].x, points[i].vx) << "point " << i;
        ASSERT_EQ(f.trail.head().velocity[i].y, points[i].vy) << "point " << i;
      }
      for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(e.channels[ch].shift, effect.shift[ch]);

      // The picture: for each copy s, the points turned by s x phi about the
      // centre, and the curves from points 0, 2, 4, ... while below B.
      trail_test::Canvas want(W, H);
      {
        const HPEN pen = CreatePen(PS_SOLID, w, PALETTEINDEX(1));
        SelectObject(want.dc(), reinterpret_cast<HGDIOBJ>(pen));
        std::vector<POINT> turned(points.size());
        for (int s = 0; s < c.s; ++s) {
          const float a = static_cast<float>(s) * phi;
          for (std::size_t i = 0; i < points.size(); ++i) {
            const double dx = points[i].x - cx, dy = points[i].y - cy;
            turned[i].x = static_cast<LONG>(std::trunc(dx * std::cos(double{a}) + dy * std::sin(double{a}))) + cx;
            turned[i].y = static_cast<LONG>(std::trunc(dy * std::cos(double{a}) - dx * std::sin(double{a}))) + cy;
          }
          for (int k = 0; k < c.b; k += 2) PolyBezier(want.dc(), turned.data() + k, 4);
        }
        SelectObject(want.dc(), GetStockObject(BLACK_PEN));
        DeleteObject(reinterpret_cast<HGDIOBJ>(pen));
      }
      int painted = 0;
      ASSERT_TRUE(WindowShows(probe, want, W, H, &painted));
      EXPECT_GT(painted, 0) << "nothing was drawn to compare";
      checked = true;
    };
    const bool started = ProbeSaver(kBeziersSaver, o, [&](Probe& probe) {
      check(probe);
      return false;
    });
    EXPECT_TRUE(started);
    EXPECT_TRUE(checked);
  }
}

// At a new figure the window is cleared before the figure starts: right
// after the frame step that passes the change time, nothing is left.
TEST_F(BeziersReplayTest, ANewFigureStartsOnABlackWindow) {
  ProbeOptions o;
  o.width = 96;
  o.height = 72;
  const FigureChange change =
      StepPastFigureChange(kBeziersSaver, o, 30, [] { return orvo::beziers::View(); });
  EXPECT_GT(change.painted_before, 300);
  EXPECT_EQ(change.started_after, change.started_before + 1);
  EXPECT_EQ(change.painted_after, 0);
}

}  // namespace
