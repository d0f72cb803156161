// The stars saver run through the real shell, host and palette engine,
// against a replay by hand of its rules: the one random sequence (the
// engine's creation, the respawns from the last star to the first, the
// effect, the spread, the new palette, the random events), the projection,
// spins and sway, and the picture of one frame step. Also the streak
// colour of every frame counter, and the clearing at the start.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "savers/stars/star_field.h"
#include "savers/stars/stars_saver.h"
#include "tests/support/slot_canvas.h"
#include "tests/support/palette_replay.h"
#include "tests/support/recording_test.h"
#include "tests/support/saver_probe.h"
#include "tests/support/trail_canvas.h"

namespace {

using orvo::testing::HandRand;
using orvo::testing::kFirstSlot;
using orvo::testing::Probe;
using orvo::testing::ProbeOptions;
using orvo::testing::WindowShows;

struct HandStar {
  double x = 0, y = 0, z = 0;
  std::int32_t sx = 0, sy = 0;
  float brightness = 0;
};

struct HandCamera {
  double x = 0, y = 0, z = -125.0;
  double hw = 0, hh = 0;
};

// Behind (false) when not beyond the camera's depth; a point exactly at
// that depth has no projection and counts as behind.
bool HandProject(const HandCamera& c, const HandStar& s, std::int32_t* sx, std::int32_t* sy) {
  if (s.z <= c.z) return false;
  const double d = s.z - c.z;
  *sx = static_cast<std::int32_t>(std::trunc((s.x - c.x) / d * 200.0 + c.x + c.hw));
  *sy = static_cast<std::int32_t>(std::trunc(c.hh - ((s.y - c.y) / d * 200.0 + c.y)));
  return true;
}

void HandRespawn(HandRand& r, HandStar& s, const HandCamera& c, int w, int h) {
  s.x = static_cast<double>(r.Unit()) * (4.0 * w) - 4 * (w / 2);
  s.y = static_cast<double>(r.Unit()) * (4.0 * h) - 4 * (h / 2);
  s.z = static_cast<double>(r.Unit()) * (4.0 * w);
  s.brightness = 0;
  HandProject(c, s, &s.sx, &s.sy);
}

struct Segment {
  int x0, y0, x1, y1;
};
struct Dot {
  int x, y, index;
};

// One frame pass in table order. Streak mode collects the lines it draws,
// pixel mode the pixels it sets, in order.
void HandPass(HandRand& r, std::vector<HandStar>& stars, const HandCamera& c, int w, int h, int speed,
              int flags, bool pixel, std::vector<Segment>* lines, std::vector<Dot>* dots) {
  const double cs = std::cos(0.02), sn = std::sin(0.02);
  for (HandStar& s : stars) {
    s.z -= speed;
    const int px = static_cast<std::int16_t>(s.sx), py = static_cast<std::int16_t>(s.sy);
    if (pixel) dots->push_back({px, py, 0});
    if (flags & 1) {
      const double x = s.x * cs + s.y * sn, y = s.y * cs - s.x * sn;
      s.x = x;
      s.y = y;
    }
    if (flags & 2) {
      const double y = s.y * cs + s.z * sn, z = s.z * cs - s.y * sn;
      s.y = y;
      s.z = z;
    }
    if (flags & 4) {
      const double z = s.z * cs + s.x * sn, x = s.x * cs - s.z * sn;
      s.z = z;
      s.x = x;
    }
    if (!HandProject(c, s, &s.sx, &s.sy)) {
      HandRespawn(r, s, c, w, h);
      continue;
    }
    if (pixel) {
      s.brightness = std::min(s.brightness + 1.5f, 233.0f);
      dots->push_back({s.sx, s.sy, static_cast<int>(s.brightness)});
    } else if (px > 0 && px < w && py > 0 && py < h) {
      lines->push_back({px, py, s.sx, s.sy});
    }
  }
}

void ExpectStars(const orvo::stars::Field& f, const std::vector<HandStar>& want, const std::string& where) {
  SCOPED_TRACE(where);
  ASSERT_EQ(f.count, static_cast<int>(want.size()));
  for (std::size_t i = 0; i < want.size(); ++i) {
    const orvo::stars::Star& s = f.stars[i];
    ASSERT_EQ(s.x, want[i].x) << "star " << i;
    ASSERT_EQ(s.y, want[i].y) << "star " << i;
    ASSERT_EQ(s.z, want[i].z) << "star " << i;
    ASSERT_EQ(s.sx, want[i].sx) << "star " << i;
    ASSERT_EQ(s.sy, want[i].sy) << "star " << i;
    ASSERT_EQ(s.brightness, want[i].brightness) << "star " << i;
  }
}

struct Case {
  std::uint32_t clock;
  int width, height;
  int stars, size, speed, type, tweak, effect, shifted;
};

class StarsReplayTest : public orvo::testing::RecordingTest {};

TEST_F(StarsReplayTest, SetUpAndOneFrameStepFollowTheRulesDrawForDraw) {
  const Case cases[] = {
      {1000000, 160, 120, 80, 1, 4, 0, 20, 4, 0},  // every default
      {1234567, 96, 64, 10, 3, 7, 15, 5, 0, 1},    // spins, sway, wide pen, Ramp
      {777777, 64, 48, 20, 1, 30, 6, 0, 1, 1},     // pixel mode, Fade
      {42, 120, 90, 4, 2, 9, 9, 7, 2, 0},          // Smooth, sway and one spin
      {99999, 80, 80, 3, 1, 3, 4, 12, 3, 1},       // Coarse
      {31337, 40, 40, 6, 1, 200, 2, 3, 4, 1},      // speed past the camera: respawns
      {5150, 50, 30, 2, 1, 50, 8, 0, 4, 0},        // pixel mode with respawns
      {2468, 30, 20, 4, 32767, 4, 0, 20, 4, 0},    // a pen wider than the window
  };
  for (const Case& c : cases) {
    Fresh();
    const std::string where = "clock " + std::to_string(c.clock);
    SCOPED_TRACE(where);
    ProbeOptions o;
    o.width = c.width;
    o.height = c.height;
    o.clock = c.clock;
    o.settings = {{"Stars", std::to_string(c.stars)},   {"Size", std::to_string(c.size)},
                  {"Speed", std::to_string(c.speed)},   {"Type", std::to_string(c.type)},
                  {"Tweak", std::to_string(c.tweak)},   {"Effect", std::to_string(c.effect)},
                  {"Shifted", std::to_string(c.shifted)}};
    const bool pixel = c.tweak == 0;
    const int w = c.width, h = c.height;

    // Set-up by hand: the host seeds the generator with the clock's low 16
    // bits; the engine's creation draws its random-events flag; the stars
    // are respawned from the last to the first; then the palette.
    HandRand r{c.clock & 0xFFFF};
    const int events_flag = r.Next() & 1;
    HandCamera cam;
    cam.hw = w * 0.5;
    cam.hh = h * 0.5;
    std::vector<HandStar> stars(static_cast<std::size_t>(5 * c.stars));
    for (int i = static_cast<int>(stars.size()) - 1; i >= 0; --i) HandRespawn(r, stars[i], cam, w, h);
    orvo::testing::EffectChoice effect = orvo::testing::ReplaySelectEffect(r, c.effect, c.shifted);
    const int spread = r.Next() % 15 + 8;
    const orvo::testing::PaletteChoice palette = orvo::testing::ReplayNewPalette(r, effect, spread);
    std::vector<Segment> lines;
    std::vector<Dot> dots;
    HandPass(r, stars, cam, w, h, c.speed, c.type, pixel, &lines, &dots);

    bool checked = false;
    auto check = [&](Probe& probe) {
      const auto view = orvo::stars::View();
      EXPECT_NE(view.field, nullptr);
      EXPECT_NE(view.engine, nullptr);
      if (view.field == nullptr || view.engine == nullptr) return;
      const orvo::stars::Field& f = *view.field;
      const orvo::PaletteEngine& e = *view.engine;
      ExpectStars(f, stars, "after set-up");
      EXPECT_EQ(rand15_state(), r.state) << "draws after set-up";
      EXPECT_EQ(e.random_events, events_flag);
      orvo::testing::ExpectEngine(e, effect, palette, spread, 0.8f, 0.14f, "after set-up");
      EXPECT_EQ(e.palette_duration, pixel ? 16777215u : static_cast<std::uint32_t>(c.tweak) * 1000u);
      EXPECT_EQ(e.shifted, c.shifted);
      EXPECT_EQ(f.frame, 0);
      EXPECT_EQ(f.pen_width, c.size);
      EXPECT_EQ(f.speed, c.speed);
      EXPECT_EQ(f.flags, c.type);
      EXPECT_EQ(f.pixel_mode, pixel);

      // One frame step, the clock a millisecond on so a palette step is due.
      orvo::headless::AdvanceClock(1);
      if (!pixel) {
        const int event = orvo::testing::ReplayRandomEvents(r, events_flag);
        if (event == 0) {
          for (int& s : effect.shift) s = -s;
        }
      }
      if (c.type >= 8) {
        cam.x = 200.0 * std::sin(0.03);
        cam.y = 200.0 * std::sin(0.02);
        cam.z = 100.0 * std::sin(0.01) - 200.0;
      }
      lines.clear();
      HandPass(r, stars, cam, w, h, c.speed, c.type, pixel, &lines, &dots);
      probe.FrameStep();
      EXPECT_EQ(f.frame, 1);
      ExpectStars(f, stars, "after one frame step");
      EXPECT_EQ(rand15_state(), r.state) << "draws in the frame step";
      for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(e.channels[ch].shift, effect.shift[ch]);
      EXPECT_DOUBLE_EQ(f.camera.z, cam.z);

      // The picture: the set-up pass drew with the stock black pen, the
      // step's streaks are palette index 1 (pixel mode: the pixels set in
      // both passes, in order).
      trail_test::Canvas want(w, h);
      if (pixel) {
        for (const Dot& d : dots) SetPixel(want.dc(), d.x, d.y, PALETTEINDEX(static_cast<WORD>(d.index)));
      } else {
        const HPEN pen = CreatePen(PS_SOLID, c.size, PALETTEINDEX(1));
        SelectObject(want.dc(), reinterpret_cast<HGDIOBJ>(pen));
        for (const Segment& s : lines) {
          MoveToEx(want.dc(), s.x0, s.y0, nullptr);
          LineTo(want.dc(), s.x1, s.y1);
        }
        SelectObject(want.dc(), GetStockObject(BLACK_PEN));
        DeleteObject(reinterpret_cast<HGDIOBJ>(pen));
      }
      int painted = 0;
      ASSERT_TRUE(WindowShows(probe, want, w, h, &painted));
      EXPECT_GT(painted, 0) << "nothing was drawn to compare";
      checked = true;
    };
    const bool started = ProbeSaver(kStarsSaver, o, [&](Probe& probe) {
      check(probe);
      return false;
    });
    EXPECT_TRUE(started);
    EXPECT_TRUE(checked);
  }
}

// The streak pen is palette index (frame counter mod 256); 235..255 name no
// palette entry and turn back from the top entry (235 -> 233 ... 255 -> 213).
TEST(StarsStreakColour, PenIndexIsTheCounterModulo256) {
  struct Case {
    std::uint16_t frame;  // counter after the step
    int index;
  } cases[] = {
      {1, 1},     {2, 2},     {100, 100}, {234, 234}, {235, 233}, {240, 228}, {255, 213},
      {256, 0},   {257, 1},   {300, 44},  {490, 234}, {491, 233}, {511, 213}, {512, 0},
      {65535, 213}, {0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(orvo::stars::StreakIndex(c.frame), c.index) << c.frame;
    // Drawn: one star crossing a canvas with the counter one below.
    SlotCanvas canvas(64, 48);
    orvo::stars::Field f{};
    f.count = 1;
    f.pen_width = 1;
    f.speed = 150;
    f.camera.width = 64;
    f.camera.height = 48;
    f.camera.half_width = 32;
    f.camera.half_height = 24;
    orvo::stars::Star& s = f.stars[0];
    s.x = 20;
    s.y = 15;
    s.z = 200;
    ASSERT_TRUE(orvo::stars::Project(f.camera, s.x, s.y, s.z, &s.sx, &s.sy));
    f.frame = static_cast<std::uint16_t>(c.frame - 1);
    // The canvas has no palette of its own: select one where index i is
    // slot 10 + i, as the display realizes the engine's.
    orvo::PaletteEngine* engine = orvo::CreatePaletteEngine(canvas.dc());
    ASSERT_NE(engine, nullptr);
    orvo::stars::Step(f, canvas.dc(), engine);
    orvo::DestroyPaletteEngine(engine);
    int lit = 0;
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 64; ++x) {
        const int slot = canvas.Slot(x, y);
        if (slot == 0) continue;
        ++lit;
        ASSERT_EQ(slot, kFirstSlot + c.index) << "frame " << c.frame << " at " << x << "," << y;
      }
    }
    EXPECT_GT(lit, 3) << c.frame;
  }
}

// Stars clear the window only when an image starts; a start after streaks
// leaves it black (the start pass draws with the stock black pen).
TEST_F(StarsReplayTest, TheStartClearsTheWindowAndFrameStepsNeverDo) {
  ProbeOptions o;
  o.width = 80;
  o.height = 60;
  int before = 0, after_start = -1, kept = 0;
  std::vector<std::uint8_t> previous;
  ProbeSaver(kStarsSaver, o, [&](Probe& probe) {
    if (probe.calls() < 20) {
      // Nothing drawn is ever erased by a frame step.
      const std::vector<std::uint8_t> now = probe.Pixels();
      for (std::size_t i = 0; i < previous.size(); ++i) {
        if (previous[i] != 0 && now[i] == 0) ADD_FAILURE() << "pixel " << i << " erased";
        kept += previous[i] != 0;
      }
      previous = now;
      probe.PostTimer(16);
      return true;
    }
    before = probe.NonBlack();
    kStarsSaver.hooks.new_image();
    after_start = probe.NonBlack();
    return false;
  });
  EXPECT_GT(before, 200);
  EXPECT_GT(kept, 200);
  EXPECT_EQ(after_start, 0);
}

}  // namespace
