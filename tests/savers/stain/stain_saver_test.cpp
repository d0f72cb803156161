// The stain saver run through the real shell and host on the headless
// display: row order and mirroring, image timing, random types, settings
// read from the file, small windows and failed allocations.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "orvo/platform.h"
#include "orvo/resources.h"
#include "savers/stain/stain_image.h"
#include "savers/stain/stain_saver.h"
#include "shell/program.h"
#include "shell/shell.h"
#include "orvo/allocation_faults.h"
#include "tests/support/recording_test.h"
#include "tools/orvo-render/render.h"

namespace {

using orvo::render::Options;
using orvo::render::RecordSaver;

constexpr int kFirstSlot = 10;  // palette index i shows in slot 10 + i

class StainSaverTest : public orvo::testing::RecordingTest {
 protected:
  void TearDown() override {
    orvo::platform::RefuseAllocationsForTesting(nullptr);
    RecordingTest::TearDown();
  }
};

// Windows smaller than the hot corner in both directions cannot run full
// screen with the cursor at 0,0: they run as a preview inside a window of
// that size on a 640 x 480 display, timer messages as the recorder sends
// them. Larger ones run through the recorder.
orvo::render::IndexedImage RunAnySize(const Options& o, const std::function<bool(long)>& after) {
  if (o.width > 31 || o.height > 31) return RecordSaver(kStainSaver, o, after);
  orvo::headless::Options display;
  display.clock = o.clock;
  display.automatic_timers = false;
  orvo::headless::Install(display);
  orvo::headless::SetCursor(0, 0);
  for (const auto& [key, value] : o.settings) {
    WritePrivateProfileStringA("Screen Saver.Stain", key.c_str(), value.c_str(), "control.ini");
  }
  orvo::shell::ResetState();
  orvo::shell::PrepareProgram(kStainSaver);
  HWND parent = orvo::headless::CreateForeignWindow(o.width, o.height);
  orvo::render::IndexedImage last;
  long delivered = 0;
  orvo::headless::SetIdleHandler([&]() {
    HWND window = orvo::shell::State().window;
    if (window == nullptr) return false;
    if (delivered > 0) after(delivered);
    if (delivered < o.timers) {
      orvo::headless::AdvanceClock(o.period);
      PostMessageA(window, WM_TIMER, 0, 0);
      ++delivered;
      return true;
    }
    orvo::headless::PresentPending();
    const auto frame = orvo::headless::PresentedFrame(window);
    last.width = frame.width;
    last.height = frame.height;
    for (int y = 0; y < frame.height; ++y) {
      for (int x = 0; x < frame.width; ++x) last.pixels.push_back(frame.pixels[y * frame.stride + x]);
    }
    return false;
  });
  const std::string tail = "/p " + std::to_string(reinterpret_cast<std::uintptr_t>(parent));
  orvo::shell::SaverEntry(orvo::platform::ProgramInstance(), tail.c_str());
  orvo::headless::SetIdleHandler(nullptr);
  return last;
}

std::uint8_t At(const orvo::render::IndexedImage& im, int x, int y) {
  return im.pixels[static_cast<std::size_t>(y) * im.width + x];
}

// Rows are painted top down, five per timer message; rows of the upper half
// are also shown at their mirror row H1 - y.
TEST_F(StainSaverTest, RowsArePaintedInOrderAndMirrored) {
  const int w = 64, h = 48, h1 = 47;
  Options o = Opts(w, h, 2);
  o.settings = {{"Delay", "100"}};
  orvo::stain::RunView view{};
  std::vector<std::vector<std::uint8_t>> rows(h, std::vector<std::uint8_t>(orvo::stain::RowBufferBytes(w)));
  const auto image = RecordSaver(kStainSaver, o, [&](long) {
    view = orvo::stain::View();
    for (int y = 0; y < h1; ++y) view.image->ComputeRow(y, rows[y].data());
    return true;
  });
  ASSERT_EQ(image.width, w);
  EXPECT_EQ(view.row, 10);
  EXPECT_EQ(view.rows_painted, 10);
  // Row y of the picture is the computed row y (the single-row bitmap is
  // not flipped), shifted to the palette's slots.
  for (int y = 0; y < h; ++y) {
    bool painted = y < 10;
    int source = y;
    if (!painted && y >= h1 - 9 && h1 - y < h1 / 2) {
      painted = true;  // mirror of row h1 - y
      source = h1 - y;
    }
    for (int x = 0; x < w; ++x) {
      const int want = painted && x < w - 1 ? kFirstSlot + rows[source][x] : 0;
      ASSERT_EQ(At(image, x, y), want) << x << "," << y;
    }
  }
}

TEST_F(StainSaverTest, FinishedImageMirrorsRowZeroToTheLastRowAndNeverPaintsTheLastColumn) {
  for (int type = 0; type <= 5; ++type) {
    Options o = Opts(90, 61, 13);  // 60 rows: 12 timer messages
    o.settings = {{"Type", std::to_string(type)}, {"Delay", "100"}, {"NumPts", "3"}};
    bool finished = false;
    std::vector<std::uint8_t> row0(orvo::stain::RowBufferBytes(90)), row31(row0);
    const auto image = RecordSaver(kStainSaver, o, [&](long) {
      const auto view = orvo::stain::View();
      finished = view.new_image;
      view.image->ComputeRow(0, row0.data());
      view.image->ComputeRow(31, row31.data());
      return true;
    });
    ASSERT_EQ(image.width, 90);
    EXPECT_TRUE(finished);
    for (int x = 0; x < 89; ++x) {
      ASSERT_EQ(At(image, x, 60), kFirstSlot + row0[x]) << type;
      ASSERT_EQ(At(image, x, 0), At(image, x, 60));
    }
    // Row 31 of the lower half holds its own row, not the mirror of 29.
    for (int x = 0; x < 89; ++x) ASSERT_EQ(At(image, x, 31), kFirstSlot + row31[x]);
    for (int y = 0; y < 61; ++y) ASSERT_EQ(At(image, 89, y), 0) << y;
  }
}

TEST_F(StainSaverTest, FinishedImageStaysForItsDurationThenTheNextIsPaintedOverIt) {
  Options o = Opts(40, 21, 200);  // 20 rows: 4 timer messages
  o.settings = {{"Delay", "1"}};
  std::vector<long> starts;
  long images = 0;
  int keep_wave_while_showing = -1, keep_wave_while_painting = -1;
  RecordSaver(kStainSaver, o, [&](long timer) {
    const auto v = orvo::stain::View();
    if (v.images_started != images) {
      starts.push_back(timer);
      images = v.images_started;
    }
    if (v.new_image && GetTickCount() < v.image_end) keep_wave_while_showing = v.engine->keep_wave;
    if (!v.new_image && v.row > 0 && v.row < 20) keep_wave_while_painting = v.engine->keep_wave;
    return true;
  });
  // Image 1 ends in message 4 (16 ms each: 64 ms); the next starts at the
  // first frame step at or after 64 + 1000 ms, in message 67.
  ASSERT_GE(starts.size(), 3u);
  EXPECT_EQ(starts[0], 1);
  EXPECT_EQ(starts[1], 67);
  EXPECT_EQ(starts[2], 67 + 67 - 1);  // 4 messages of painting, then 1000 ms
  EXPECT_EQ(keep_wave_while_showing, 0);
  EXPECT_EQ(keep_wave_while_painting, 1);
}

TEST_F(StainSaverTest, DelayZeroStartsTheNextImageAtTheNextFrameStep) {
  Options o = Opts(40, 8, 4);  // 7 rows per image
  o.settings = {{"Delay", "0"}};
  orvo::stain::RunView v{};
  RecordSaver(kStainSaver, o, [&](long) {
    v = orvo::stain::View();
    return true;
  });
  // 20 frame steps: every step paints a row, images of 7 rows back to back.
  EXPECT_EQ(v.rows_painted, 20);
  EXPECT_EQ(v.images_started, 3);
  EXPECT_EQ(v.row, 20 - 14);
}

TEST_F(StainSaverTest, RandomTypeChoosesPerImage) {
  Options o = Opts(40, 11, 400);
  o.settings = {{"Type", "6"}, {"Delay", "0"}, {"NumPts", "4"}, {"Density", "10"}};
  std::set<int> types, counts;
  long images = 0;
  bool densities_ok = true;
  RecordSaver(kStainSaver, o, [&](long) {
    const auto v = orvo::stain::View();
    if (v.images_started != images) {
      images = v.images_started;
      types.insert(v.image->t);
      counts.insert(v.image->n);
      densities_ok &= v.image->d >= 5 && v.image->d <= 50 && v.image->d % 5 == 0;
      densities_ok &= v.engine->wave_spread == v.image->d;
    }
    return true;
  });
  EXPECT_GE(images, 100);
  EXPECT_EQ(types, (std::set<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(counts, (std::set<int>{2, 3, 4}));
  EXPECT_TRUE(densities_ok);
}

TEST_F(StainSaverTest, OutOfRangeSettingsAreHeldToTheDialogRanges) {
  struct Case {
    const char* key;
    const char* value;
    std::int32_t orvo::stain::RunView::*field;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"NumPts", "9", &orvo::stain::RunView::num_pts, 4},
      {"NumPts", "1", &orvo::stain::RunView::num_pts, 2},
      {"NumPts", "0", &orvo::stain::RunView::num_pts, 2},
      {"Density", "0", &orvo::stain::RunView::density, 1},
      {"Density", "100000", &orvo::stain::RunView::density, 100},
      {"Delay", "5000", &orvo::stain::RunView::delay, 1000},
      {"Tweak", "-3", &orvo::stain::RunView::tweak, 0},
      {"Type", "9", &orvo::stain::RunView::type, 9},  // used as read: a random type
  };
  for (const Case& c : cases) {
    for (const char* type : {"5", "6"}) {
      Options o = Opts(40, 30, 8);
      o.settings = {{c.key, c.value}};
      if (std::string(c.key) != "Type") o.settings.push_back({"Type", type});
      orvo::stain::RunView v{};
      int nodes = -1;
      RecordSaver(kStainSaver, o, [&](long) {
        v = orvo::stain::View();
        nodes = v.image != nullptr ? v.image->n : -1;
        return true;
      });
      EXPECT_EQ(v.*c.field, c.expected) << c.key << "=" << c.value;
      EXPECT_LE(nodes, 4);
      EXPECT_GE(nodes, 2);
    }
  }
}

// Every formula over whole images of tiny and preview sizes.
TEST_F(StainSaverTest, EveryTypeAtSmallSizesRunsWholeImages) {
  const int sizes[][2] = {{1, 1}, {2, 2}, {1, 40}, {40, 1}, {2, 3}, {152, 112}};
  for (const auto& s : sizes) {
    for (int type = 0; type <= 6; ++type) {
      Options o = Opts(s[0], s[1], 30);
      o.settings = {{"Type", std::to_string(type)}, {"Delay", "0"}, {"NumPts", "4"}};
      orvo::stain::RunView v{};
      const auto image = RunAnySize(o, [&](long) {
        v = orvo::stain::View();
        return true;
      });
      ASSERT_EQ(image.width, s[0]);
      ASSERT_EQ(image.height, s[1]);
      const int w1 = s[0] - 1, h1 = s[1] - 1;
      if (w1 <= 0 || h1 <= 0) {
        // No painted area: the window stays black while images pass.
        EXPECT_EQ(v.rows_painted, 0);
        EXPECT_GT(v.images_started, 1);
        for (std::uint8_t p : image.pixels) ASSERT_EQ(p, 0);
      } else {
        // With no image duration every frame step paints a row.
        EXPECT_EQ(v.rows_painted, 150);
        // Black where nothing was painted, else one of the 235 palette slots.
        for (std::uint8_t p : image.pixels) {
          ASSERT_TRUE(p == 0 || (p >= kFirstSlot && p <= kFirstSlot + 234)) << int(p);
        }
      }
    }
  }
}

bool FailRowTable(std::size_t bytes) { return bytes == orvo::stain::RowTableBytes(30); }

TEST_F(StainSaverTest, FailedAllocationReportsPaintsNothingAndClosesOnInput) {
  orvo::platform::RefuseAllocationsForTesting(FailRowTable);
  ::testing::internal::CaptureStderr();
  long last = 0;
  bool idle = true;
  RecordSaver(kStainSaver, Opts(40, 30, 50), [&](long timer) {
    last = timer;
    const auto v = orvo::stain::View();
    idle &= v.image == nullptr && v.rows_painted == 0 && v.engine != nullptr;
    if (timer == 8) orvo::headless::PressKey('Q');
    return true;
  });
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Could not allocate buffers"), std::string::npos);
  EXPECT_TRUE(idle);
  EXPECT_EQ(last, 8);

  ::testing::internal::CaptureStderr();
  const auto image = RecordSaver(kStainSaver, Opts(40, 30, 20));
  ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(image.width, 40);
  for (std::uint8_t p : image.pixels) ASSERT_EQ(p, 0);
}

TEST_F(StainSaverTest, TearDownReleasesEverything) {
  RecordSaver(kStainSaver, Opts(50, 40, 3));
  const auto v = orvo::stain::View();
  EXPECT_EQ(v.engine, nullptr);
  EXPECT_EQ(v.image, nullptr);
  EXPECT_EQ(orvo::WaveTable(), nullptr);
}

}  // namespace
