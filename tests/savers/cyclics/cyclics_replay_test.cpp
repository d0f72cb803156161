// The cyclics saver run through the real shell, host and palette engine,
// against a replay by hand of its rules: the random sequence of a new
// figure (the engine's creation, a and b, the change time, the effect,
// the spread, the new palette, the three speeds, the modes and mirror, the
// palette interval), the ring after set-up, one frame step with its
// picture and random events, and the clearing at a new figure.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "savers/cyclics/cyclics_figure.h"
#include "savers/cyclics/cyclics_saver.h"
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

struct HandCyclic {
  std::int16_t x = 0, y = 0, px = 0, py = 0;
  float theta = 0;
};

struct HandRing {
  float a0 = 0, a1 = 0, a2 = 0, a3 = 0;
  std::vector<HandCyclic> c;
};

struct HandFigure {
  int n, sp, cx, cy, x_mode, y_mode;
  float amplitude, d0, d1, d2;
};

// A = R x (first column), B = theta x (second column), each stored as a float.
void HandPath(int mode, const HandRing& s, float R, float theta, float* A, float* B) {
  const double a0 = s.a0, a1 = s.a1, a3 = s.a3;
  double a = 0, b = 0;
  switch (mode) {
    case 1: a = std::sin(a0); b = std::cos(a1); break;
    case 2: a = std::sin(a0); b = std::sin(a0 + a1); break;
    case 3: a = std::sin(a0 + a1); b = std::sin(a1); break;
    case 4: a = std::sin(a0 + a3); b = std::sin(a1 + a3); break;
    case 5: a = std::sin(a0); b = std::sin(std::cos(a1) + a3); break;
    case 6: a = std::sin(std::cos(a0) + a3); b = std::sin(a0); break;
    case 7: a = std::sin(a3); b = std::sin(a3 + std::sin(a3)); break;
    case 8: a = std::sin(a1 + a3); b = std::sin(a3); break;
    default: ADD_FAILURE() << "mode " << mode;
  }
  *A = static_cast<float>(R * a);
  *B = static_cast<float>(theta * b);
}

void HandInit(const HandFigure& f, HandRing& s) {
  s.a0 = s.a1 = s.a2 = 0.0f;
  s.a3 = 0.0f;
  s.c.assign(static_cast<std::size_t>(std::max(f.n, 0)), HandCyclic{});
  if (f.n <= 0) return;
  const float step = 6.283184f / static_cast<float>(f.n);
  float acc = 0.0f;
  for (int i = f.n - 1; i >= 0; --i) {
    s.c[i].x = static_cast<std::int16_t>(f.cx);
    s.c[i].y = static_cast<std::int16_t>(f.cy);
    s.c[i].theta = acc;
    acc = acc + step;
  }
}

void HandMove(const HandFigure& f, HandRing& s) {
  for (int i = f.n - 1; i >= 0; --i) {
    float A, B;
    HandPath(f.x_mode, s, f.amplitude, s.c[i].theta, &A, &B);
    s.c[i].px = s.c[i].x;
    s.c[i].x = static_cast<std::int16_t>(f.cx + static_cast<int>(std::trunc(std::sin(double{B}) * A)));
  }
  for (int i = f.n - 1; i >= 0; --i) {
    float A, B;
    HandPath(f.y_mode, s, f.amplitude, s.c[i].theta, &A, &B);
    s.c[i].py = s.c[i].y;
    s.c[i].y = static_cast<std::int16_t>(f.cy + static_cast<int>(std::trunc(std::cos(double{B}) * A)));
  }
  s.a0 = s.a0 + f.d0;
  s.a1 = s.a1 + f.d1;
  s.a2 = s.a2 + f.d2;
  s.a3 = static_cast<float>(std::sin(double{s.a2}));
  const double g = std::sin(double{s.a1} + double{s.a0}) * double{0.01f};
  for (int i = f.n - 1; i >= 0; --i) s.c[i].theta = static_cast<float>(s.c[i].theta + g);
}

void ExpectRing(const orvo::cyclics::CyclicSet& got, const HandRing& want, const std::string& where) {
  SCOPED_TRACE(where);
  EXPECT_EQ(got.a0, want.a0);
  EXPECT_EQ(got.a1, want.a1);
  EXPECT_EQ(got.a2, want.a2);
  EXPECT_EQ(got.a3, want.a3);
  for (std::size_t i = 0; i < want.c.size(); ++i) {
    const orvo::cyclics::CyclicRecord& r = got.records[i];
    ASSERT_EQ(r.x, want.c[i].x) << "cyclic " << i;
    ASSERT_EQ(r.y, want.c[i].y) << "cyclic " << i;
    ASSERT_EQ(r.previous_x, want.c[i].px) << "cyclic " << i;
    ASSERT_EQ(r.previous_y, want.c[i].py) << "cyclic " << i;
    ASSERT_EQ(r.angle, want.c[i].theta) << "cyclic " << i;
  }
}

struct Case {
  std::uint32_t clock;
  int width, height;
  std::string cyclics, spasticity, tail, pen;
  int tweak, effect, shifted;
  int n, sp, w;  // what the figure holds: 16-bit reads, the count within 101, sp at least 1
};

class CyclicsReplayTest : public orvo::testing::RecordingTest {};

TEST_F(CyclicsReplayTest, NewFigureAndOneFrameStepFollowTheRulesDrawForDraw) {
  const Case cases[] = {
      {1000000, 160, 120, "4", "25", "100", "100", 15, 4, 1, 4, 26, 100},  // every default
      {2024, 120, 80, "7", "50", "1", "0", 3, 0, 0, 7, 1, 0},              // pulsing, Ramp
      {55555, 96, 96, "1", "1", "100", "3", 9, 1, 1, 1, 50, 3},            // one cyclic, Fade
      {8, 100, 60, "13", "30", "20", "-10", 3, 2, 1, 13, 21, -10},         // -10 does not pulse
      {61234, 64, 64, "65540", "65561", "100", "65536", 2, 3, 0, 4, 26, 0},  // 16-bit reads
      {4444, 80, 50, "300", "77", "100", "5", 1, 4, 1, 101, 1, 5},         // held count and sp
      {3, 70, 70, "6", "40", "100", "300", 15, 4, 1, 6, 11, 300},          // wide pen kept
      {777, 90, 60, "5", "20", "100", "9", 15, 4, 0, 5, 31, 9},
      {31000, 90, 60, "9", "45", "100", "2", 15, 4, 1, 9, 6, 2},
      {12345, 90, 60, "3", "49", "100", "4", 15, 4, 0, 3, 2, 4},
      {4040, 40, 30, "4", "25", "100", "30000", 15, 4, 1, 4, 26, 30000},  // covers the window
  };
  std::vector<bool> modes_seen(9, false);
  int cases_painted = 0;
  for (const Case& c : cases) {
    Fresh();
    const std::string where = "clock " + std::to_string(c.clock);
    SCOPED_TRACE(where);
    ProbeOptions o;
    o.width = c.width;
    o.height = c.height;
    o.clock = c.clock;
    o.settings = {{"Cyclics", c.cyclics}, {"Spasticity", c.spasticity}, {"TailLength", c.tail},
                  {"PenWidth", c.pen},    {"Tweak", std::to_string(c.tweak)},
                  {"Effect", std::to_string(c.effect)}, {"Shifted", std::to_string(c.shifted)}};

    // The new figure by hand, in the order of its numbered steps.
    HandRand r{c.clock & 0xFFFF};
    const int events_flag = r.Next() & 1;  // the engine, created at the first figure
    const int a = r.Next(), b = r.Next();
    const float pulse_speed =
        static_cast<float>(static_cast<double>(static_cast<float>(a) * (1.0f / 32767.0f)) / (b % 5 + 5.0));
    const std::uint32_t change = c.clock + 200u * static_cast<std::uint32_t>(5 * (r.Next() % (10 * c.sp)) + 100);
    orvo::testing::EffectChoice effect = orvo::testing::ReplaySelectEffect(r, c.effect, c.shifted);
    const int spread = r.Next() % 12 + 4;
    const orvo::testing::PaletteChoice palette = orvo::testing::ReplayNewPalette(r, effect, spread);
    HandFigure f{};
    f.n = c.n;
    f.sp = c.sp;
    f.d0 = static_cast<float>((r.Unit() + 0.05) / (c.sp * 3.0));
    f.d1 = static_cast<float>((r.Unit() + 0.05) / (c.sp * 5.0));
    f.d2 = static_cast<float>((r.Unit() + 0.05) / (c.sp * 4.0));
    f.cx = c.width / 2;
    f.cy = c.height / 2;
    f.x_mode = r.Next() % 8 + 1;
    f.amplitude = static_cast<float>(f.cx);
    f.y_mode = r.Next() % 8 + 1;
    const bool mirror = r.Next() % 2 != 0;
    HandRing ring;
    HandInit(f, ring);
    HandMove(f, ring);
    const int interval = r.Next() % 20 + 30;
    modes_seen[f.x_mode] = modes_seen[f.y_mode] = true;

    bool checked = false;
    auto check = [&](Probe& probe) {
      const auto view = orvo::cyclics::View();
      EXPECT_TRUE(view.figure != nullptr && view.engine != nullptr && view.sets);
      if (view.figure == nullptr || view.engine == nullptr || !view.sets) return;
      const orvo::cyclics::Figure& fig = *view.figure;
      const orvo::PaletteEngine& e = *view.engine;
      EXPECT_EQ(rand15_state(), r.state) << "draws after set-up";
      EXPECT_EQ(e.random_events, events_flag);
      orvo::testing::ExpectEngine(e, effect, palette, spread, 0.8f, 0.16f, "after set-up");
      EXPECT_EQ(e.palette_duration, static_cast<std::uint32_t>(c.tweak) * 1000u);
      EXPECT_EQ(fig.n, c.n);
      EXPECT_EQ(fig.sp, c.sp);
      EXPECT_EQ(fig.width, c.w);
      EXPECT_EQ(fig.pulsing, c.w == 0);
      EXPECT_EQ(fig.pulse_speed, pulse_speed);
      EXPECT_EQ(fig.pulse_phase, 0.0f);
      EXPECT_EQ(fig.change_time, change);
      EXPECT_EQ(fig.d0, f.d0);
      EXPECT_EQ(fig.d1, f.d1);
      EXPECT_EQ(fig.d2, f.d2);
      EXPECT_EQ(fig.cx, f.cx);
      EXPECT_EQ(fig.cy, f.cy);
      EXPECT_EQ(fig.amplitude, f.amplitude);
      EXPECT_EQ(fig.x_mode, f.x_mode);
      EXPECT_EQ(fig.y_mode, f.y_mode);
      EXPECT_EQ(fig.mirror, mirror);
      EXPECT_EQ(fig.interval, interval);
      EXPECT_EQ(fig.trail.colour().index(), 0);
      EXPECT_EQ(fig.trail.colour().direction(), 1);
      ExpectRing(fig.trail.head(), ring, "drawing set after set-up");
      ExpectRing(fig.trail.eraser(), ring, "eraser set after set-up");
      for (const HandCyclic& cy : ring.c) {
        EXPECT_EQ(cy.px, f.cx);
        EXPECT_EQ(cy.py, f.cy);
      }

      // One frame step, a millisecond on: the pen width (pulsing), colour
      // index 1, the drawing set moved and drawn, a palette step at the
      // first cyclic's tick and its random events; no eraser yet.
      orvo::headless::AdvanceClock(1);
      int width = c.w;
      if (c.w == 0) {
        const float phase = 0.0f + pulse_speed;
        width = static_cast<int>(std::trunc(std::fabs(std::sin(double{phase}) * 70.0))) + 70;
      }
      HandMove(f, ring);
      if (f.n > 0) {
        if (orvo::testing::ReplayRandomEvents(r, events_flag) == 0) {
          for (int& s : effect.shift) s = -s;
        }
      }
      probe.FrameStep();
      EXPECT_EQ(rand15_state(), r.state) << "draws in the frame step";
      EXPECT_EQ(fig.width, width);
      EXPECT_EQ(fig.trail.colour().index(), 1);
      ExpectRing(fig.trail.head(), ring, "drawing set after a step");
      for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(e.channels[ch].shift, effect.shift[ch]);

      trail_test::Canvas want(c.width, c.height);
      {
        const HPEN pen = CreatePen(PS_SOLID, width, PALETTEINDEX(1));
        SelectObject(want.dc(), reinterpret_cast<HGDIOBJ>(pen));
        const int W = c.width, H = c.height;
        auto line = [&](int x0, int y0, int x1, int y1) {
          MoveToEx(want.dc(), x0, y0, nullptr);
          LineTo(want.dc(), x1, y1);
        };
        for (int i = f.n - 1; i >= 0; --i) {
          const HandCyclic& k = ring.c[i];
          line(k.x, k.y, k.px, k.py);
          if (mirror) {
            line(W - k.x, k.y, W - k.px, k.py);
            line(W - k.x, H - k.y, W - k.px, H - k.py);
            line(k.x, H - k.y, k.px, H - k.py);
          }
        }
        SelectObject(want.dc(), GetStockObject(BLACK_PEN));
        DeleteObject(reinterpret_cast<HGDIOBJ>(pen));
      }
      int painted = 0;
      ASSERT_TRUE(WindowShows(probe, want, c.width, c.height, &painted));
      // A one-pixel pen may draw nothing in the first step: near the
      // start every path moves by less than a pixel.
      cases_painted += painted > 0;
      checked = true;
    };
    const bool started = ProbeSaver(kCyclicsSaver, o, [&](Probe& probe) {
      check(probe);
      return false;
    });
    EXPECT_TRUE(started);
    EXPECT_TRUE(checked);
  }
  EXPECT_GE(cases_painted, static_cast<int>(std::size(cases)) - 2) << "too few pictures to compare";
  int modes = 0;
  for (int m = 1; m <= 8; ++m) modes += modes_seen[m];
  EXPECT_GE(modes, 6) << "the cases cover too few path modes";
}

// A stored count of 0 or less is kept: the figure has no cyclics, draws
// nothing and ticks no palette, and its draws are still made in order.
TEST_F(CyclicsReplayTest, NoCyclicsDrawNothing) {
  for (const char* count : {"0", "-3", "65536"}) {
    Fresh();
    ProbeOptions o;
    o.settings = {{"Cyclics", count}};
    int n = 1, drawn = -1;
    ProbeSaver(kCyclicsSaver, o, [&](Probe& probe) {
      if (probe.calls() < 10) {
        probe.PostTimer(16);
        return true;
      }
      n = orvo::cyclics::View().figure->n;
      drawn = probe.NonBlack();
      return false;
    });
    EXPECT_LE(n, 0) << count;
    EXPECT_EQ(drawn, 0) << count;
  }
}

// At a new figure the window is cleared before the figure starts: right
// after the frame step that passes the change time, nothing is left.
TEST_F(CyclicsReplayTest, ANewFigureStartsOnABlackWindow) {
  ProbeOptions o;
  o.width = 96;
  o.height = 72;
  o.settings = {{"Spasticity", "50"}};
  const FigureChange change =
      StepPastFigureChange(kCyclicsSaver, o, 20, [] { return orvo::cyclics::View(); });
  EXPECT_GT(change.painted_before, 300);
  EXPECT_EQ(change.started_after, change.started_before + 1);
  EXPECT_EQ(change.painted_after, 0);
}

}  // namespace
