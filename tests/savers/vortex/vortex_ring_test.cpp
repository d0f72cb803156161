// The vortex ring on a memory surface with a real palette engine: the
// ring step and twist, the band, the moving deadline and the restart, tiny
// windows, held settings and defined conversions.
#include "savers/vortex/vortex_ring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "orvo/platform.h"
#include "tests/support/trail_canvas.h"

namespace orvo::vortex {
namespace {

using trail_test::Canvas;
using trail_test::kFirstSlot;

Config MakeConfig(int w, int h, int n, int scale, int amp, int duration) {
  return Config{w, h, n, scale, amp, duration, 15, 4, 1};
}

// A fresh headless display for every test.
class VortexRingTest : public ::testing::Test {
 protected:
  void SetUp() override { headless::Install(); }
};

// A real palette engine on the canvas for the length of a test.
class Engine {
 public:
  explicit Engine(HDC dc) : engine_(CreatePaletteEngine(dc)) {}
  ~Engine() { DestroyPaletteEngine(engine_); }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
  PaletteEngine* get() const { return engine_; }

 private:
  PaletteEngine* engine_;
};

// Both parts of an image start, as the saver runs them once its engine exists.
void StartImage(Ring& r, const Config& config, DWORD now, PaletteEngine* engine) {
  BeginImage(r, config);
  FinishImage(r, config, now, engine);
}

TEST_F(VortexRingTest, RingStepShrinksAndTurnsTheWholeRing) {
  Canvas canvas(300, 200);
  Engine engine(canvas.dc());
  Ring r;
  srand15(11);
  StartImage(r, MakeConfig(300, 200, 8, 300, 200, 20), 0, engine.get());
  for (int step = 0; step < 10; ++step) {
    const Ring before = r;
    RingStep(r);
    EXPECT_FLOAT_EQ(r.rho, before.rho - before.delta);
    // The turn: sin(rho / S) x A, with rho already shrunk.
    const double turn = std::sin(double{r.rho / r.twist_scale}) * r.twist_amplitude;
    for (int i = 0; i < r.n; ++i) {
      EXPECT_EQ(r.points[i].prev_x, before.points[i].x);
      EXPECT_EQ(r.points[i].prev_y, before.points[i].y);
      const double a = before.points[i].angle;
      EXPECT_EQ(r.points[i].x, 150 + static_cast<int>(std::trunc(before.rho * std::sin(a))));
      EXPECT_EQ(r.points[i].y, 100 + static_cast<int>(std::trunc(before.rho * std::cos(a))));
      EXPECT_FLOAT_EQ(r.points[i].angle, static_cast<float>(a + turn));
    }
  }
}

TEST_F(VortexRingTest, TwoPointsDrawTwoQuadrilateralsOverTheSameArea) {
  Canvas canvas(200, 160);
  Engine engine(canvas.dc());
  Ring r;
  srand15(21);
  StartImage(r, MakeConfig(200, 160, 2, 300, 20, 20), 0, engine.get());
  ASSERT_EQ(r.n, 2);
  EXPECT_EQ(r.points[0].offset, 0);
  EXPECT_EQ(r.points[1].offset, 1);
  // Both quads lie between the same two points; the second covers the first.
  r.points[0].x = 60;  r.points[0].y = 40;  r.points[0].prev_x = 40;  r.points[0].prev_y = 120;
  r.points[1].x = 140; r.points[1].y = 60;  r.points[1].prev_x = 160; r.points[1].prev_y = 140;
  const int second = BandIndex(r, 1);
  ASSERT_NE(BandIndex(r, 0), second);
  DrawBand(r, canvas.dc());
  std::set<int> slots;
  for (int y = 0; y < 160; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (canvas.at(x, y) != 0) slots.insert(canvas.at(x, y));
    }
  }
  EXPECT_EQ(slots, std::set<int>{kFirstSlot + second});
  EXPECT_NE(canvas.at(100, 90), 0);
  EXPECT_EQ(r.frame, 2);
  // Drawn without an outline and with the null brush left selected.
  EXPECT_EQ(SelectObject(canvas.dc(), GetStockObject(BLACK_PEN)), GetStockObject(NULL_PEN));
  EXPECT_EQ(SelectObject(canvas.dc(), GetStockObject(WHITE_BRUSH)), GetStockObject(NULL_BRUSH));
}

TEST_F(VortexRingTest, BandColoursFollowOffsetAndFrameWithinThePalette) {
  Ring r;
  r.n = 3;
  r.points[0].offset = 0;
  r.points[1].offset = 2;
  r.points[2].offset = 100;
  r.frame = 1;
  EXPECT_EQ(BandIndex(r, 0), 1);
  EXPECT_EQ(BandIndex(r, 1), 3);
  r.frame = 200;
  EXPECT_EQ(BandIndex(r, 2), 65);  // 300 mod 235
  r.frame = -32768;                // a counter that has wrapped
  for (int i = 0; i < 3; ++i) {
    EXPECT_GE(BandIndex(r, i), 0);
    EXPECT_LE(BandIndex(r, i), 234);
  }
}

// The deadline follows the shrinking ring (now + hold time at every ring
// step); the restart comes once the tick count is strictly past it, and
// stays set until the next image start.
TEST_F(VortexRingTest, DeadlineMovesWhileShrinkingAndRestartFollowsIt) {
  struct Case {
    int duration;
    DWORD start;
  };
  for (const Case c : {Case{2, 0}, Case{0, 5000}, Case{1, 0xFFFFFFFFu - 300u}}) {
    SCOPED_TRACE(c.duration);
    Canvas canvas(120, 90);
    Engine engine(canvas.dc());
    Ring r;
    srand15(4);
    StartImage(r, MakeConfig(120, 90, 10, 300, 20, c.duration), c.start, engine.get());
    const DWORD hold = static_cast<DWORD>(c.duration) * 1000u;
    DWORD now = c.start;
    while (r.rho > 0.0f) {
      now += 16;
      Step(r, canvas.dc(), now, engine.get());
      EXPECT_EQ(r.deadline, now + hold);
      EXPECT_FALSE(r.restart);
    }
    // Several frame steps of one timer message share its tick count.
    const DWORD vanished = now;
    const int frames = r.frame;
    Step(r, canvas.dc(), vanished + hold, engine.get());
    EXPECT_FALSE(r.restart);
    EXPECT_EQ(r.frame, frames);  // no band once the ring is gone
    Step(r, canvas.dc(), vanished + hold + 1, engine.get());
    EXPECT_TRUE(r.restart);
    Step(r, canvas.dc(), vanished + hold + 1, engine.get());
    EXPECT_TRUE(r.restart);
    StartImage(r, MakeConfig(120, 90, 10, 300, 20, c.duration), vanished + hold + 1, engine.get());
    EXPECT_FALSE(r.restart);
    EXPECT_EQ(r.frame, 1);
  }
}

// A negative stored duration is a hold time whose deadline lies in the
// past: every frame step draws its band and then asks for a new image.
TEST_F(VortexRingTest, NegativeDurationRestartsAfterEveryBand) {
  Canvas canvas(120, 90);
  Engine engine(canvas.dc());
  Ring r;
  srand15(5);
  StartImage(r, MakeConfig(120, 90, 10, 300, 20, -1), 1000, engine.get());
  ASSERT_GT(r.rho, 0.0f);
  Step(r, canvas.dc(), 1000, engine.get());
  EXPECT_EQ(r.frame, 2);
  EXPECT_TRUE(r.restart);
}

// A window so small that the ring has vanished in the start's own ring
// step still gets a deadline at the start, so a new image follows after
// the hold time.
TEST_F(VortexRingTest, RingGoneAtStartStillLeadsToANewImage) {
  Canvas canvas(4, 4);
  Engine engine(canvas.dc());
  for (int duration : {0, 3}) {
    Ring r;
    srand15(8);
    StartImage(r, MakeConfig(4, 4, 60, 300, 20, duration), 1000, engine.get());
    ASSERT_LE(r.rho, 0.0f);  // sqrt(8) < the smallest shrink of 3
    const DWORD due = 1000 + static_cast<DWORD>(duration) * 1000;
    Step(r, canvas.dc(), due, engine.get());
    EXPECT_FALSE(r.restart) << "duration " << duration;
    EXPECT_EQ(r.frame, 1);  // nothing drawn
    Step(r, canvas.dc(), due + 1, engine.get());
    EXPECT_TRUE(r.restart) << "duration " << duration;
  }
  Ring r;
  StartImage(r, MakeConfig(0, 0, 5, 300, 20, 0), 0, engine.get());
  Step(r, canvas.dc(), 1, engine.get());
  EXPECT_TRUE(r.restart);
}

// Counts are held only where they would break the ring; other stored
// values keep their arithmetic, with every conversion defined.
TEST_F(VortexRingTest, StoredValuesAreHeldOnlyWhereTheyWouldBreakTheRing) {
  EXPECT_EQ(Points(0), 2);
  EXPECT_EQ(Points(-4), 2);
  EXPECT_EQ(Points(1), 1);
  EXPECT_EQ(Points(60), 60);
  EXPECT_EQ(Points(101), 100);
  EXPECT_EQ(Duration(-1), -1);
  EXPECT_EQ(Duration(600), 600);
  EXPECT_EQ(Duration(3000000), 2147483);
  EXPECT_EQ(Duration(-3000000), -2147483);

  Canvas canvas(160, 120);
  Engine engine(canvas.dc());
  struct Case {
    int points, scale, amplitude;
    float twist_factor;  // 301 - Scale
  };
  for (const Case c : {Case{100000, 5000, -300, -4699.0f}, Case{7, 1, 200, 300.0f},
                       Case{7, -2147483647, 20, -2147483348.0f}}) {
    SCOPED_TRACE(c.scale);
    Ring r;
    srand15(2);
    const float first = static_cast<float>(rand15()) * (1.0f / 32767.0f);
    srand15(2);
    StartImage(r, MakeConfig(160, 120, c.points, c.scale, c.amplitude, 20), 0, engine.get());
    EXPECT_EQ(r.n, std::min(c.points, 100));
    EXPECT_EQ(r.twist_scale, (first + 3.0f) * c.twist_factor);
    for (int i = 0; i < 40; ++i) Step(r, canvas.dc(), 0, engine.get());
    for (int i = 0; i < r.n; ++i) EXPECT_TRUE(std::isfinite(r.points[i].angle));
  }
}

// "Scale" 301 makes the twist scale 0: the turn is NaN, and every point's
// position converts to the defined indefinite value, whose low 16 bits
// leave it at the centre. After the band from the last ring to the centre,
// nothing more is drawn.
TEST_F(VortexRingTest, ZeroTwistScaleCollapsesTheRingToTheCentre) {
  Canvas canvas(160, 120);
  Engine engine(canvas.dc());
  Ring r;
  srand15(3);
  StartImage(r, MakeConfig(160, 120, 12, 301, 20, 20), 0, engine.get());
  EXPECT_EQ(r.twist_scale, 0.0f);
  for (int i = 0; i < r.n; ++i) EXPECT_TRUE(std::isnan(r.points[i].angle));
  for (int step = 0; step < 3; ++step) {
    canvas.Clear();
    Step(r, canvas.dc(), 0, engine.get());
    for (int i = 0; i < r.n; ++i) {
      EXPECT_EQ(r.points[i].x, 80);
      EXPECT_EQ(r.points[i].y, 60);
    }
  }
  int painted = 0;
  for (bool p : canvas.Painted()) painted += p;
  EXPECT_EQ(painted, 0);
}

}  // namespace
}  // namespace orvo::vortex
