// The beziers saver through the real shell and host on the headless
// display: figures change on time, stored values out of range. Equal
// arguments: tests/savers/repeat.
#include "savers/beziers/beziers_saver.h"

#include <gtest/gtest.h>

#include <string>

#include "orvo/platform.h"
#include "savers/beziers/beziers_figure.h"
#include "tests/support/recording_test.h"
#include "tools/orvo-render/render.h"

namespace {

using orvo::render::Options;
using orvo::render::RecordSaver;
using orvo::testing::NonBlack;

class BeziersSaverTest : public orvo::testing::RecordingTest {};

TEST_F(BeziersSaverTest, OneFrameStepPerTimerMessageAndNewFiguresOnTime) {
  Options o = Opts(60);
  o.period = 1000;
  o.settings = {{"TailLength", "1"}};
  DWORD change = 0;
  long figures = 0;
  int steps_after_three = -1;
  RecordSaver(kBeziersSaver, o, [&](long timer) {
    const auto view = orvo::beziers::View();
    if (timer == 1) change = view.figure->change_time - o.clock;
    if (timer == 3) steps_after_three = view.figure->trail.delay().head_steps();
    figures = view.figures_started;
    return true;
  });
  EXPECT_EQ(steps_after_three, 3);
  EXPECT_GE(change, 10000u);
  EXPECT_LE(change, 49000u);
  EXPECT_GE(figures, 2);  // 60 virtual seconds
}

TEST_F(BeziersSaverTest, StoredValuesOutOfRangeAreReadInSixteenBits) {
  Options o = Opts(10);
  o.settings = {{"Beziers", "900"}, {"Symetry", "0"}, {"PenWidth", "-30"}, {"TailLength", "20000"}};
  int b = 0, s = 0, w = 0, trail_steps = 0;
  const auto image = RecordSaver(kBeziersSaver, o, [&](long) {
    const orvo::beziers::Figure* f = orvo::beziers::View().figure;
    b = f->b;
    s = f->s;
    w = f->width;
    trail_steps = f->trail.delay().trail_steps();
    return true;
  });
  EXPECT_EQ(b, 20);
  EXPECT_EQ(s, 1);
  EXPECT_EQ(w, -30);
  EXPECT_EQ(trail_steps, -5536);  // 60000 in 16 bits
  // The eraser runs level with the head: each step's curves are painted
  // black in the step that drew them.
  EXPECT_EQ(NonBlack(image), 0);
}

}  // namespace
