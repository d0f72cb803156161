// The pattern saver run through the real shell and host on the headless
// display: frame steps per image, holds, random and fixed types, stored
// values out of range, failed allocations, low-colour displays and tiny
// windows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "orvo/headless.h"
#include "orvo/platform.h"
#include "orvo/resources.h"
#include "savers/pattern/pattern_image.h"
#include "savers/pattern/pattern_saver.h"
#include "shell/program.h"
#include "shell/shell.h"
#include "orvo/allocation_faults.h"
#include "tests/support/recording_test.h"
#include "tools/orvo-render/render.h"

namespace {

using orvo::render::Options;
using orvo::render::RecordSaver;

class PatternSaverTest : public orvo::testing::RecordingTest {
 protected:
  void SetUp() override {
    RecordingTest::SetUp();
    unsetenv("ORVO_DISPLAY_BITS");
  }
  void TearDown() override {
    orvo::platform::RefuseAllocationsForTesting(nullptr);
    orvo::pattern::ForceImageForTesting(-1, -1);
    unsetenv("ORVO_DISPLAY_BITS");
    RecordingTest::TearDown();
  }
};

// Windows smaller than the hot corner run as a preview inside a foreign
// window of that size; larger ones through the recorder.
void RunAnySize(const Options& o, const std::function<bool(long)>& after) {
  if (o.width > 31 || o.height > 31) {
    RecordSaver(kPatternSaver, o, after);
    return;
  }
  orvo::headless::Options display;
  display.clock = o.clock;
  display.automatic_timers = false;
  orvo::headless::Install(display);
  orvo::headless::SetCursor(0, 0);
  for (const auto& [key, value] : o.settings) {
    WritePrivateProfileStringA("Screen Saver.Pattern", key.c_str(), value.c_str(), "control.ini");
  }
  orvo::shell::ResetState();
  orvo::shell::PrepareProgram(kPatternSaver);
  HWND parent = orvo::headless::CreateForeignWindow(o.width, o.height);
  long delivered = 0;
  orvo::headless::SetIdleHandler([&]() {
    HWND window = orvo::shell::State().window;
    if (window == nullptr) return false;
    if (delivered > 0 && !after(delivered)) delivered = o.timers;
    if (delivered < o.timers) {
      orvo::headless::AdvanceClock(o.period);
      PostMessageA(window, WM_TIMER, 0, 0);
      ++delivered;
      return true;
    }
    DestroyWindow(window);
    return false;
  });
  const std::string tail = "/p " + std::to_string(reinterpret_cast<std::uintptr_t>(parent));
  orvo::shell::SaverEntry(orvo::platform::ProgramInstance(), tail.c_str());
  orvo::headless::SetIdleHandler(nullptr);
}

long StepsPerImage(int h, bool low_colour) {
  return (h + 15) / 16 + (h + 7) / 8 + (low_colour ? (h + 1) / 2 : h);
}

// Bands drawn when the second image starts: exactly one image's steps, on
// both kinds of display. The first band is drawn at the first step.
TEST_F(PatternSaverTest, ImageTakesOneStepPerBandOfEachPass) {
  for (bool low : {false, true}) {
    if (low) setenv("ORVO_DISPLAY_BITS", "4", 1);
    for (int h : {48, 50, 37}) {
      Options o = Opts(64, h, 200);
      o.settings = {{"Delay", "5"}};
      long first_bands = -1, bands_at_second = -1;
      bool low_seen = !low;
      RecordSaver(kPatternSaver, o, [&](long timer) {
        const auto v = orvo::pattern::View();
        if (timer == 1) first_bands = v.bands_drawn;
        low_seen = v.low_colour;
        if (v.images_started == 2 && bands_at_second < 0) bands_at_second = v.bands_drawn;
        return true;
      });
      EXPECT_EQ(first_bands, 5) << h;
      EXPECT_EQ(bands_at_second, StepsPerImage(h, low)) << h << " low " << low;
      EXPECT_EQ(low_seen, low);
    }
  }
}

// A finished image of type 0 without distortion shows, at every pixel,
// palette index ((X[x] + Y[y]) >> s) rem 235 of the profiles it was built
// from (palette index i shows in slot 10 + i).
TEST_F(PatternSaverTest, FinishedImageShowsTheProfileSums) {
  const int w = 72, h = 44;
  orvo::pattern::ForceImageForTesting(0, -1);
  Options o = Opts(w, h, 40);
  o.settings = {{"Delay", "1000"}, {"Type", "0"}};
  std::vector<int> xs(w), ys(h);
  int shift = 0;
  long images = 0;
  const auto picture = RecordSaver(kPatternSaver, o, [&](long timer) {
    const auto v = orvo::pattern::View();
    if (timer == 1) {
      for (int x = 0; x < w; ++x) xs[x] = v.image->columns[x];
      for (int y = 0; y < h; ++y) ys[y] = v.image->rows[y];
      shift = v.image->shift;
    }
    images = v.images_started;
    return true;
  });
  ASSERT_EQ(images, 2);  // the first image is complete and held
  ASSERT_EQ(picture.width, w);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int want = 10 + ((xs[x] + ys[y]) >> shift) % 235;
      ASSERT_EQ(picture.pixels[static_cast<std::size_t>(y) * w + x], want) << x << "," << y;
    }
  }
}

// With "Image Duration" 0 every frame step draws: no step is lost between
// images. With a duration the saver holds after an image.
TEST_F(PatternSaverTest, ImageDurationHoldsBetweenImages) {
  const long per_image = StepsPerImage(40, false);
  for (int delay : {0, 30}) {
    Options o = Opts(48, 40, 60);
    o.settings = {{"Delay", std::to_string(delay)}};
    orvo::pattern::RunView last{};
    RecordSaver(kPatternSaver, o, [&](long) {
      last = orvo::pattern::View();
      return true;
    });
    if (delay == 0) {
      EXPECT_EQ(last.bands_drawn, 300);
      EXPECT_EQ(last.images_started, 1 + 300 / per_image);
    } else {
      EXPECT_EQ(last.bands_drawn, per_image);
      EXPECT_EQ(last.images_started, 2);
    }
  }
}

// Type 21 draws a type and a wave count per image; a fixed type keeps both.
TEST_F(PatternSaverTest, RandomTypeDrawsPerImageFixedTypeKeeps) {
  for (const char* type : {"21", "7"}) {
    Options o = Opts(40, 32, 400);
    o.settings = {{"Delay", "0"}, {"Type", type}, {"Waves", "12"}};
    std::set<int> types, counts;
    RecordSaver(kPatternSaver, o, [&](long) {
      const auto v = orvo::pattern::View();
      types.insert(v.image->t);
      counts.insert(v.image->n);
      for (int c : counts) EXPECT_TRUE(c >= 1 && c <= 12);
      return true;
    });
    if (std::string(type) == "21") {
      EXPECT_GT(types.size(), 3u);
      EXPECT_GT(counts.size(), 3u);
    } else {
      EXPECT_EQ(types, std::set<int>{7});
      EXPECT_EQ(counts, std::set<int>{12});
    }
  }
}

// Stored values outside the dialog's ranges: the wave count is brought to
// 1..30 and a negative type uses formula 0.
TEST_F(PatternSaverTest, OutOfRangeSettingsAreBroughtIntoRange) {
  const std::pair<const char*, const char*> cases[] = {{"0", "5"}, {"-4", "21"}, {"99", "6"},
                                                       {"500", "21"}, {"3", "-2"}};
  for (const auto& [waves, type] : cases) {
    Options o = Opts(40, 32, 120);
    o.settings = {{"Delay", "0"}, {"Waves", waves}, {"Type", type}};
    RecordSaver(kPatternSaver, o, [&](long) {
      const auto v = orvo::pattern::View();
      EXPECT_GE(v.image->n, 1);
      EXPECT_LE(v.image->n, 30);
      EXPECT_GE(v.image->t, 0);
      EXPECT_LE(v.image->t, 20);
      if (std::atoi(type) == -2) {
        EXPECT_EQ(v.image->t, 0);
      }
      if (std::atoi(waves) == 99) {
        EXPECT_EQ(v.image->n, 30);
      }
      if (std::atoi(waves) <= 0) {
        EXPECT_EQ(v.image->n, 1);
      }
      return true;
    });
  }
}

// Durations out of range: a negative image duration holds for no time at
// all (rather than for a wrapped 49 days), a huge one for its capped length.
TEST_F(PatternSaverTest, OutOfRangeDurationsAreBounded) {
  const long per_image = StepsPerImage(32, false);
  for (const char* delay : {"-7", "99999999"}) {
    Options o = Opts(40, 32, 60);
    o.settings = {{"Delay", delay}, {"Tweak", "-3"}};
    orvo::pattern::RunView v{};
    RecordSaver(kPatternSaver, o, [&](long) {
      v = orvo::pattern::View();
      return true;
    });
    if (std::atoi(delay) < 0) {
      EXPECT_EQ(v.bands_drawn, 300);
    } else {
      EXPECT_EQ(v.bands_drawn, per_image);
    }
  }
}

bool FailRowBuffer(std::size_t bytes) { return bytes == 1064; }

// Without its buffers the saver draws nothing: the window stays black.
TEST_F(PatternSaverTest, FailedAllocationDrawsNothing) {
  orvo::platform::RefuseAllocationsForTesting(FailRowBuffer);
  Options o = Opts(48, 40, 50);
  o.settings = {{"Delay", "0"}};
  orvo::pattern::RunView v{};
  const auto image = RecordSaver(kPatternSaver, o, [&](long) {
    v = orvo::pattern::View();
    return true;
  });
  EXPECT_EQ(v.image, nullptr);
  EXPECT_EQ(v.bands_drawn, 0);
  for (auto px : image.pixels) ASSERT_EQ(px, 0);
}

// Every type with every distortion (and none) for a whole image at tiny
// and small sizes, through the real hooks; the sanitizers watch.
TEST_F(PatternSaverTest, EveryTypeAndDistortionDrawsAWholeImage) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{152, 112}}) {
    for (int t = 0; t < 21; ++t) {
      for (int mode = -1; mode < 4; ++mode) {
        orvo::pattern::ForceImageForTesting(t, mode);
        Options o = Opts(w, h, 1000);
        o.settings = {{"Delay", "0"}, {"Type", "21"}, {"Waves", "30"}};
        bool done = false;
        RunAnySize(o, [&](long) {
          const auto v = orvo::pattern::View();
          EXPECT_EQ(v.image->t, t);
          EXPECT_EQ(v.image->distortion, mode >= 0);
          done = v.images_started >= 2;
          return !done;
        });
        EXPECT_TRUE(done) << w << "x" << h << " type " << t << " mode " << mode;
      }
    }
  }
}

}  // namespace
