// The cyclics saver through the real shell and host on the headless
// display: figures change on time, stored values out of range and a failed
// allocation. Equal arguments: tests/savers/repeat.
#include "savers/cyclics/cyclics_saver.h"

#include <gtest/gtest.h>

#include <string>

#include "orvo/platform.h"
#include "savers/cyclics/cyclics_figure.h"
#include "orvo/allocation_faults.h"
#include "tests/support/recording_test.h"
#include "tools/orvo-render/render.h"

namespace {

using orvo::render::Options;
using orvo::render::RecordSaver;
using orvo::testing::NonBlack;

class CyclicsSaverTest : public orvo::testing::RecordingTest {
 protected:
  void TearDown() override {
    orvo::platform::RefuseAllocationsForTesting(nullptr);
    RecordingTest::TearDown();
  }
};

TEST_F(CyclicsSaverTest, ANewFigureStartsAfterItsChangeTime) {
  Options o = Opts(40);
  o.period = 1000;  // one virtual second per timer message
  o.settings = {{"Spasticity", "50"}};
  DWORD start = 0, change = 0;
  long started_at_30 = 0;
  RecordSaver(kCyclicsSaver, o, [&](long timer) {
    const auto view = orvo::cyclics::View();
    if (timer == 1) {
      start = o.clock;
      change = view.figure->change_time;
      EXPECT_EQ(view.figures_started, 1);
    }
    if (timer == 30) started_at_30 = view.figures_started;
    return true;
  });
  // sp = 1: 20 to 29 seconds.
  EXPECT_GE(change - start, 20000u);
  EXPECT_LE(change - start, 29000u);
  EXPECT_GE(started_at_30, 2);
}

TEST_F(CyclicsSaverTest, StoredValuesOutOfRangeAreReadInSixteenBits) {
  Options o = Opts(10);
  o.settings = {{"Cyclics", "5000"}, {"Spasticity", "77"}, {"PenWidth", "65543"},
                {"TailLength", "-5"}};
  int n = 0, sp = 0, width = 0, trail_steps = 0;
  const auto image = RecordSaver(kCyclicsSaver, o, [&](long) {
    const orvo::cyclics::Figure* f = orvo::cyclics::View().figure;
    n = f->n;
    sp = f->sp;
    width = f->width;
    trail_steps = f->trail.delay().trail_steps();
    return true;
  });
  EXPECT_EQ(n, 101);
  EXPECT_EQ(sp, 1);
  EXPECT_EQ(width, 7);
  EXPECT_EQ(trail_steps, -15);
  // The eraser runs level with the head from the first step: every segment
  // is painted black in the step that drew it.
  EXPECT_EQ(NonBlack(image), 0);
}

bool Refuse(std::size_t) { return true; }

TEST_F(CyclicsSaverTest, WithoutItsSetsTheSaverDrawsNothing) {
  orvo::platform::RefuseAllocationsForTesting(Refuse);
  bool sets = true;
  const auto image = RecordSaver(kCyclicsSaver, Opts(20), [&](long) {
    sets = orvo::cyclics::View().sets;
    return true;
  });
  EXPECT_FALSE(sets);
  EXPECT_EQ(NonBlack(image), 0);
}

}  // namespace
