// The plasma saver run through the real shell and host on the headless
// display: what is shown when, the palette set-up, settings read from the
// file, failed allocations and tear-down.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "orvo/platform.h"
#include "savers/plasma/plasma_cloud.h"
#include "savers/plasma/plasma_saver.h"
#include "orvo/allocation_faults.h"
#include "tests/support/recording_test.h"
#include "tools/orvo-render/render.h"

namespace {

using orvo::render::Options;
using orvo::render::RecordSaver;

constexpr int kFirstSlot = 10;  // palette index i shows in slot 10 + i

class PlasmaSaverTest : public orvo::testing::RecordingTest {
 protected:
  void TearDown() override {
    orvo::platform::RefuseAllocationsForTesting(nullptr);
    RecordingTest::TearDown();
  }
};

TEST_F(PlasmaSaverTest, FirstFrameStepShowsOnlyTheSeeds) {
  for (int width : {640, 642}) {
    orvo::plasma::RunView view{};
    const auto image = RecordSaver(kPlasmaSaver, Opts(width, 480, 1), [&](long) {
      view = orvo::plasma::View();
      return true;
    });
    ASSERT_EQ(image.width, width);
    // Field row 0 is the bottom screen row.
    EXPECT_EQ(image.pixels[479u * width], kFirstSlot + view.seeds[0]);
    int other = 0;
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < width; ++x) {
        if (x == 0 && y == 479) continue;
        if (width == 640 && x == 0 && y == 478) {
          // (640, 0) shares its byte with (0, 1): the second seed shows there.
          EXPECT_EQ(image.pixels[478u * width], kFirstSlot + view.seeds[1]);
          continue;
        }
        other += image.pixels[static_cast<std::size_t>(y) * width + x] != kFirstSlot;
      }
    }
    EXPECT_EQ(other, 0) << width;
    EXPECT_EQ(view.shows, 1);
    // The other four steps of the message computed rectangles unseen.
    EXPECT_EQ(view.steps_in_cloud, 5);
  }
}

TEST_F(PlasmaSaverTest, FirstCloudGrowsOnScreenEveryTwoSecondsThenShowsComplete) {
  struct Show {
    long timer;
    bool complete;
  };
  std::vector<Show> shows;
  long seen = 0;
  orvo::plasma::RunView end{};
  RecordSaver(kPlasmaSaver, Opts(640, 480, 300), [&](long timer) {
    end = orvo::plasma::View();
    if (end.shows != seen) {
      shows.push_back({timer, end.first_cloud_shown});
      seen = end.shows;
    }
    return true;
  });
  // 16 ms per timer message: at 1, after more than 2000 ms (timer 127), and
  // complete after 1195 frame steps (timer 239 = ceil(1195 / 5)).
  ASSERT_EQ(shows.size(), 3u);
  EXPECT_EQ(shows[0].timer, 1);
  EXPECT_EQ(shows[1].timer, 127);
  EXPECT_FALSE(shows[1].complete);
  EXPECT_EQ(shows[2].timer, 239);
  EXPECT_TRUE(shows[2].complete);
  EXPECT_EQ(end.last_cloud_steps, 1195);
  EXPECT_EQ(end.last_cloud_rectangles, 611669);
  EXPECT_EQ(end.clouds_started, 1);  // the image duration (30 s) has not passed
}

TEST_F(PlasmaSaverTest, LaterCloudsAreComputedUnseenAndShownWhenTheirTimeComes) {
  Options o = Opts(152, 112, 400);
  o.settings = {{"ImageDuration", "1"}};
  std::vector<long> start_timers;
  std::vector<long> show_timers;
  long clouds = 0, shows = 0;
  bool complete_at_every_show = true;
  RecordSaver(kPlasmaSaver, o, [&](long timer) {
    const auto v = orvo::plasma::View();
    if (v.shows != shows) {
      show_timers.push_back(timer);
      shows = v.shows;
    }
    if (v.clouds_started != clouds) {
      start_timers.push_back(timer);
      clouds = v.clouds_started;
      // A new cloud starts in the step that shows the finished one.
      complete_at_every_show &= !show_timers.empty() && show_timers.back() == timer;
    }
    return true;
  });
  EXPECT_TRUE(complete_at_every_show);
  ASSERT_GE(start_timers.size(), 5u);
  // Clouds start every 1000 ms: the first timer message later than 1000 ms
  // after the previous start (16 ms per message), i.e. every 63 messages.
  EXPECT_EQ(start_timers[0], 1);   // set-up started the first one at 0 ms
  EXPECT_EQ(start_timers[1], 63);  // 1008 ms
  for (std::size_t i = 2; i < start_timers.size(); ++i) {
    EXPECT_EQ(start_timers[i] - start_timers[i - 1], 63) << i;
  }
  // Shows: the growing first cloud at 1, its completion (67 steps: timer 14),
  // then only one per new cloud.
  ASSERT_GE(show_timers.size(), 3u);
  EXPECT_EQ(show_timers[0], 1);
  EXPECT_EQ(show_timers[1], 14);
  EXPECT_EQ(show_timers.size(), start_timers.size() + 1);
}

TEST_F(PlasmaSaverTest, PaletteIsSetUpFromTheSettings) {
  Options o = Opts(160, 120, 1);
  o.settings = {{"Speed", "71"}, {"Gradient", "12"}, {"PaletteDuration", "7"}, {"Shifted", "0"},
                {"Roughness", "20"}};
  orvo::plasma::RunView v{};
  orvo::PaletteEngine engine{};
  RecordSaver(kPlasmaSaver, o, [&](long) {
    v = orvo::plasma::View();
    if (v.engine != nullptr) engine = *v.engine;
    return true;
  });
  ASSERT_NE(v.engine, nullptr);
  EXPECT_EQ(v.interval, 30);
  EXPECT_FLOAT_EQ(v.factor, 1.0f);
  EXPECT_EQ(engine.palette_duration, 7000u);
  EXPECT_EQ(engine.keep_wave, 0);
  EXPECT_EQ(engine.shifted, 0);
  EXPECT_EQ(engine.wave_spread, 12);
  EXPECT_FLOAT_EQ(engine.ramp_decay_base, 0.9f);
  EXPECT_FLOAT_EQ(engine.ramp_decay_range, 0.09f);
}

TEST_F(PlasmaSaverTest, OutOfRangeSettingsAreClampedToTheDialogRanges) {
  struct Case {
    const char* key;
    const char* value;
    std::int32_t orvo::plasma::RunView::*field;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"Gradient", "0", &orvo::plasma::RunView::gradient, 1},
      {"Gradient", "500", &orvo::plasma::RunView::gradient, 30},
      {"Speed", "101", &orvo::plasma::RunView::speed, 100},
      {"Speed", "0", &orvo::plasma::RunView::speed, 1},
      {"Speed", "-40", &orvo::plasma::RunView::speed, 1},
      {"Roughness", "0", &orvo::plasma::RunView::roughness, 1},
      {"Roughness", "250", &orvo::plasma::RunView::roughness, 100},
      {"ImageDuration", "0", &orvo::plasma::RunView::image_duration, 1},
      {"ImageDuration", "100000", &orvo::plasma::RunView::image_duration, 600},
      {"PaletteDuration", "0", &orvo::plasma::RunView::palette_duration, 1},
      {"PaletteDuration", "100000", &orvo::plasma::RunView::palette_duration, 600},
      // Beyond 2^31 the file's number reads as negative: the minimum.
      {"PaletteDuration", "4000000000", &orvo::plasma::RunView::palette_duration, 1},
  };
  for (const Case& c : cases) {
    Options o = Opts(64, 48, 2);
    o.settings = {{c.key, c.value}};
    orvo::plasma::RunView v{};
    int spread = 0;
    RecordSaver(kPlasmaSaver, o, [&](long) {
      v = orvo::plasma::View();
      spread = v.engine != nullptr ? v.engine->wave_spread : 0;
      return true;
    });
    EXPECT_EQ(v.*c.field, c.expected) << c.key << "=" << c.value;
    EXPECT_GE(v.interval, 1) << c.key << "=" << c.value;
    EXPECT_LE(v.interval, 100) << c.key << "=" << c.value;
    EXPECT_GE(spread, 1) << c.key << "=" << c.value;
  }
}

TEST_F(PlasmaSaverTest, RoughnessHundredDrawsANewRoughnessForEachCloud) {
  Options o = Opts(64, 48, 600);
  o.settings = {{"Roughness", "100"}, {"ImageDuration", "1"}};
  std::vector<float> factors;
  long clouds = 0;
  RecordSaver(kPlasmaSaver, o, [&](long) {
    const auto v = orvo::plasma::View();
    if (v.clouds_started != clouds) {
      factors.push_back(v.factor);
      clouds = v.clouds_started;
    }
    return true;
  });
  ASSERT_GE(factors.size(), 8u);
  bool varied = false;
  for (float f : factors) {
    const float r = f / 0.05f;
    EXPECT_GE(r, 19.99f);
    EXPECT_LE(r, 79.01f);
    varied |= f != factors[0];
  }
  EXPECT_TRUE(varied);
}

bool FailLargeBlocks(std::size_t bytes) { return bytes > 2000; }
bool FailHeader(std::size_t bytes) { return bytes == 1064; }

TEST_F(PlasmaSaverTest, FailedAllocationReportsDrawsNothingAndStillClosesOnInput) {
  for (auto allocator : {FailLargeBlocks, FailHeader}) {
    orvo::platform::RefuseAllocationsForTesting(allocator);
    ::testing::internal::CaptureStderr();
    long last_timer = 0;
    bool palette_ran = true;
    const auto image = RecordSaver(kPlasmaSaver, Opts(320, 200, 50), [&](long timer) {
      last_timer = timer;
      const auto v = orvo::plasma::View();
      palette_ran &= v.engine != nullptr && v.cloud == nullptr && v.shows == 0;
      if (timer == 10) orvo::headless::PressKey('A');
      return true;
    });
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Could not allocate buffers"), std::string::npos);
    EXPECT_EQ(err.find("Could not allocate buffers"), err.rfind("Could not allocate buffers"))
        << "the allocation is not retried";
    EXPECT_TRUE(palette_ran);
    // The key closed the window: no further timer messages.
    EXPECT_EQ(last_timer, 10);
    EXPECT_EQ(image.width, 0);
  }
}

TEST_F(PlasmaSaverTest, FailedAllocationLeavesTheWindowBlack) {
  orvo::platform::RefuseAllocationsForTesting(FailLargeBlocks);
  ::testing::internal::CaptureStderr();
  const auto image = RecordSaver(kPlasmaSaver, Opts(320, 200, 20));
  ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(image.width, 320);
  for (std::uint8_t p : image.pixels) ASSERT_EQ(p, 0);
}

TEST_F(PlasmaSaverTest, TearDownReleasesEverything) {
  RecordSaver(kPlasmaSaver, Opts(100, 80, 3));
  const auto v = orvo::plasma::View();
  EXPECT_EQ(v.engine, nullptr);
  EXPECT_EQ(v.cloud, nullptr);
  EXPECT_EQ(orvo::WaveTable(), nullptr);
}

}  // namespace
