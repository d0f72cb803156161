// The X11 back end against a real X server (run under Xvfb). A second
// connection (the probe) plays the other clients: it owns "foreign"
// windows, reads pixels back and sends input.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "orvo/backend.h"
#include "orvo/lock_display.h"
#include "orvo/win_user.h"
#include "orvo/x11_backend.h"
#include "x11_probe.h"

namespace orvo::platform {
namespace {

using Kind = BackendEvent::Kind;
using orvo::testing::X11Probe;

std::array<Rgb, kSlotCount> RampColours(int seed) {
  std::array<Rgb, kSlotCount> colours{};
  for (int i = 0; i < kSlotCount; ++i)
    colours[i] = {static_cast<std::uint8_t>(i + seed), static_cast<std::uint8_t>(255 - i),
                  static_cast<std::uint8_t>(i * 37 + seed * 3)};
  return colours;
}

// Presents rows [top, bottom) of the surface, waiting while the window is
// still busy with an earlier frame (at most a second); whether it was shown.
bool Show(Backend& backend, NativeId id, const Surface& surface, int top, int bottom,
          const std::array<Rgb, kSlotCount>& colours, std::uint32_t version) {
  const PixelRect band{0, top, surface.width(), bottom};
  const std::uint32_t start = backend.TickCount();
  while (!backend.Present(id, surface, std::span(&band, 1), colours, version)) {
    if (backend.TickCount() - start > 1000) return false;
    BackendEvent event;
    while (backend.PollEvent(&event)) {
    }
    backend.WaitForEvent(5);
  }
  return true;
}

class X11BackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    if (!InstallX11Backend(&error)) GTEST_SKIP() << error;
    ASSERT_TRUE(probe_.ok());
  }
  void TearDown() override {
    if (HasBackend()) InstallBackend(nullptr);
  }

  Backend& backend() { return GetBackend(); }
  LockDisplay& lock_display() { return *GetLockDisplay(); }

  NativeId CreateWindow(int width, int height, NativeId parent = 0) {
    NativeWindowParams params;
    params.parent = parent;
    params.width = width;
    params.height = height;
    params.class_name = "OrvoTestClass";
    params.title = "Orvo Test";
    const NativeId id = backend().CreateNativeWindow(params);
    EXPECT_NE(id, 0u);
    EXPECT_TRUE(probe_.WaitUntilShown(id));
    return id;
  }

  // The next event of `kind` for any window, within about a second; other
  // kinds on the way are skipped.
  std::optional<BackendEvent> NextEvent(Kind kind) {
    const std::uint32_t start = backend().TickCount();
    while (backend().TickCount() - start < 1000) {
      BackendEvent event;
      while (backend().PollEvent(&event))
        if (event.kind == kind) return event;
      backend().WaitForEvent(50);
    }
    return std::nullopt;
  }

  // Nothing of `kind` arrives within a short while.
  bool NoEvent(Kind kind) {
    probe_.Sync();
    backend().QueryWindow(1);  // a round trip: whatever was sent has arrived
    const std::uint32_t start = backend().TickCount();
    while (backend().TickCount() - start < 100) {
      BackendEvent event;
      while (backend().PollEvent(&event))
        if (event.kind == kind) return false;
      backend().WaitForEvent(20);
    }
    return true;
  }

  // Reads the window after the server has handled every request of ours.
  std::vector<Rgb> ReadBack(NativeId id, int width, int height) {
    backend().QueryWindow(id);
    std::vector<Rgb> pixels;
    EXPECT_TRUE(probe_.ReadPixels(id, width, height, &pixels));
    return pixels;
  }

  X11Probe probe_;
};

// --- Presentation -----------------------------------------------------------

TEST_F(X11BackendTest, PresentShowsEverySlotThroughItsColour) {
  constexpr int kW = 67, kH = 41;  // odd width: the row tail is converted too
  const NativeId id = CreateWindow(kW, kH);
  Surface surface(kW, kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) surface.row(y)[x] = static_cast<std::uint8_t>(x * 3 + y * 67);
  const auto colours = RampColours(0);
  Show(backend(), id, surface, 0, kH, colours, 1);

  const auto pixels = ReadBack(id, kW, kH);
  ASSERT_EQ(pixels.size(), static_cast<std::size_t>(kW * kH));
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      ASSERT_EQ(pixels[static_cast<std::size_t>(y * kW + x)], colours[surface.row(y)[x]])
          << x << "," << y;
}

TEST_F(X11BackendTest, PresentSendsOnlyTheRowsAsked) {
  constexpr int kW = 40, kH = 30;
  const NativeId id = CreateWindow(kW, kH);
  Surface surface(kW, kH);
  const auto colours = RampColours(5);
  for (int y = 0; y < kH; ++y) std::memset(surface.row(y), 20, kW);
  Show(backend(), id, surface, 0, kH, colours, 1);
  // Several frames, so that every image buffer has been used once.
  for (int y = 0; y < kH; ++y) std::memset(surface.row(y), 30, kW);
  Show(backend(), id, surface, 0, 10, colours, 1);
  for (int y = 0; y < kH; ++y) std::memset(surface.row(y), 40, kW);
  Show(backend(), id, surface, 20, 25, colours, 1);
  // Out-of-range rows are clipped, not a fault.
  Show(backend(), id, surface, -5, -1, colours, 1);
  Show(backend(), id, surface, kH, kH + 10, colours, 1);

  const auto pixels = ReadBack(id, kW, kH);
  ASSERT_EQ(pixels.size(), static_cast<std::size_t>(kW * kH));
  for (int y = 0; y < kH; ++y) {
    const int slot = y < 10 ? 30 : (y >= 20 && y < 25) ? 40 : 20;
    EXPECT_EQ(pixels[static_cast<std::size_t>(y * kW + 7)], colours[slot]) << "row " << y;
  }
}

TEST_F(X11BackendTest, NewColourVersionRecoloursUnchangedPixels) {
  constexpr int kW = 32, kH = 16;
  const NativeId id = CreateWindow(kW, kH);
  Surface surface(kW, kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) surface.row(y)[x] = static_cast<std::uint8_t>(10 + x + y);
  auto colours = RampColours(0);
  Show(backend(), id, surface, 0, kH, colours, 7);

  // Same slots, new colours, new version: every pixel follows.
  const auto moved = RampColours(50);
  Show(backend(), id, surface, 0, kH, moved, 8);
  auto pixels = ReadBack(id, kW, kH);
  ASSERT_EQ(pixels.size(), static_cast<std::size_t>(kW * kH));
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      ASSERT_EQ(pixels[static_cast<std::size_t>(y * kW + x)], moved[surface.row(y)[x]]);

  // The table is tagged with the version: colours handed in under the same
  // version are taken as unchanged.
  Show(backend(), id, surface, 0, kH, RampColours(99), 8);
  pixels = ReadBack(id, kW, kH);
  EXPECT_EQ(pixels[0], moved[surface.row(0)[0]]);
}

TEST_F(X11BackendTest, PlainImagesShowTheSameColoursAsSharedMemory) {
  // Without shared memory (a remote display, say) images go over the wire.
  setenv("ORVO_X11_NO_SHM", "1", 1);
  std::string error;
  const bool installed = InstallX11Backend(&error);
  unsetenv("ORVO_X11_NO_SHM");
  ASSERT_TRUE(installed) << error;
  constexpr int kW = 29, kH = 13;
  const NativeId id = CreateWindow(kW, kH);
  Surface surface(kW, kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) surface.row(y)[x] = static_cast<std::uint8_t>(x * 11 + y * 5);
  const auto colours = RampColours(3);
  Show(backend(), id, surface, 0, kH, colours, 1);
  for (int y = 0; y < kH; ++y) std::memset(surface.row(y), 200, kW);
  Show(backend(), id, surface, 4, 6, colours, 1);
  const auto pixels = ReadBack(id, kW, kH);
  ASSERT_EQ(pixels.size(), static_cast<std::size_t>(kW * kH));
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const int slot = (y == 4 || y == 5) ? 200 : static_cast<std::uint8_t>(x * 11 + y * 5);
      ASSERT_EQ(pixels[static_cast<std::size_t>(y * kW + x)], colours[slot]) << x << "," << y;
    }
}

TEST_F(X11BackendTest, PresentFollowsASurfaceOfANewSize) {
  const NativeId id = CreateWindow(50, 40);
  const auto colours = RampColours(1);
  Surface small(20, 10);
  for (int y = 0; y < 10; ++y) std::memset(small.row(y), 77, 20);
  Show(backend(), id, small, 0, 10, colours, 1);
  Surface large(50, 40);
  for (int y = 0; y < 40; ++y) std::memset(large.row(y), 99, 50);
  Show(backend(), id, large, 0, 40, colours, 1);
  const auto pixels = ReadBack(id, 50, 40);
  ASSERT_EQ(pixels.size(), 2000u);
  EXPECT_EQ(pixels[0], colours[99]);
  EXPECT_EQ(pixels[39 * 50 + 49], colours[99]);
  // Wider than the protocol allows: the left part is shown.
  Surface wide(40000, 2);
  std::memset(wide.row(0), 55, 40000);
  std::memset(wide.row(1), 55, 40000);
  Show(backend(), id, wide, 0, 2, colours, 1);
  EXPECT_EQ(ReadBack(id, 50, 40)[49], colours[55]);
  // An empty surface presents nothing and does not fail.
  Show(backend(), id, Surface(), 0, 10, colours, 1);
  EXPECT_TRUE(backend().QueryWindow(id).exists);
}

// With shared memory the server copies the image after the request: while
// it has not, a new frame is refused (never waited for), and accepted
// again once the server is done.
TEST_F(X11BackendTest, ANewFrameWaitsUntilTheServerCopiedTheLast) {
  constexpr int kW = 40, kH = 30;
  const NativeId id = CreateWindow(kW, kH);
  Surface surface(kW, kH);
  const auto colours = RampColours(9);
  const PixelRect whole{0, 0, kW, kH};
  auto paint = [&](std::uint8_t slot) {
    for (int y = 0; y < kH; ++y) std::memset(surface.row(y), slot, kW);
  };
  paint(11);
  ASSERT_TRUE(Show(backend(), id, surface, 0, kH, colours, 1));
  EXPECT_EQ(ReadBack(id, kW, kH)[0], colours[11]);
  // Whatever completion is due has arrived.
  ASSERT_TRUE(Show(backend(), id, surface, 0, kH, colours, 1));
  backend().QueryWindow(id);

  probe_.GrabServer(true);  // the server now serves the probe alone
  paint(22);
  ASSERT_TRUE(backend().Present(id, surface, std::span(&whole, 1), colours, 1));
  paint(33);
  const bool second = backend().Present(id, surface, std::span(&whole, 1), colours, 1);
  probe_.GrabServer(false);
  EXPECT_FALSE(second) << "a frame while the server had not copied the last";
  ASSERT_TRUE(Show(backend(), id, surface, 0, kH, colours, 1));
  const auto pixels = ReadBack(id, kW, kH);
  ASSERT_EQ(pixels.size(), static_cast<std::size_t>(kW * kH));
  EXPECT_EQ(pixels[0], colours[33]);
  EXPECT_EQ(pixels[kW * kH - 1], colours[33]);
}

// Only the rectangles asked are converted and sent.
TEST_F(X11BackendTest, PresentSendsOnlyTheRectanglesAsked) {
  constexpr int kW = 150, kH = 70;
  const NativeId id = CreateWindow(kW, kH);
  Surface surface(kW, kH);
  const auto colours = RampColours(4);
  for (int y = 0; y < kH; ++y) std::memset(surface.row(y), 50, kW);
  ASSERT_TRUE(Show(backend(), id, surface, 0, kH, colours, 1));
  for (int y = 0; y < kH; ++y) std::memset(surface.row(y), 60, kW);
  const PixelRect rects[] = {{3, 4, 10, 9}, {100, 20, 149, 69}, {-10, 60, 2, 80}};
  while (!backend().Present(id, surface, rects, colours, 1)) backend().WaitForEvent(5);
  const auto pixels = ReadBack(id, kW, kH);
  ASSERT_EQ(pixels.size(), static_cast<std::size_t>(kW * kH));
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      bool inside = false;
      for (const PixelRect& r : rects) inside = inside || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
      ASSERT_EQ(pixels[static_cast<std::size_t>(y * kW + x)], colours[inside ? 60 : 50]) << x << "," << y;
    }
  }
}

// --- Pixel scale -------------------------------------------------------------

// Installs the back end with ORVO_SCALE set to `value` (nullptr: unset).
bool InstallWithScale(const char* value, std::string* error) {
  const char* saved = std::getenv("ORVO_SCALE");
  const std::string kept = saved ? saved : "";
  if (value) {
    setenv("ORVO_SCALE", value, 1);
  } else {
    unsetenv("ORVO_SCALE");
  }
  const bool installed = InstallX11Backend(error);
  if (saved) {
    setenv("ORVO_SCALE", kept.c_str(), 1);
  } else {
    unsetenv("ORVO_SCALE");
  }
  return installed;
}

// At scale s the programs see the screen divided by s; each slot shows as
// an s x s block; pointer coordinates are divided by s.
TEST_F(X11BackendTest, ScaleEnlargesSlotsAndDividesSizesAndPointerCoordinates) {
  for (int scale : {2, 3}) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    std::string error;
    ASSERT_TRUE(InstallWithScale(std::to_string(scale).c_str(), &error)) << error;
    int width = 0, height = 0;
    backend().ScreenSize(&width, &height);
    EXPECT_EQ(width, probe_.ScreenWidth() / scale);
    EXPECT_EQ(height, probe_.ScreenHeight() / scale);

    constexpr int kW = 23, kH = 11;
    const NativeId id = CreateWindow(kW, kH);
    int x = 0, y = 0, w = 0, h = 0;
    ASSERT_TRUE(probe_.Geometry(id, &x, &y, &w, &h));
    EXPECT_EQ(w, kW * scale);
    EXPECT_EQ(h, kH * scale);
    EXPECT_EQ(backend().QueryWindow(id).width, kW);
    EXPECT_EQ(backend().QueryWindow(id).height, kH);

    Surface surface(kW, kH);
    for (int sy = 0; sy < kH; ++sy)
      for (int sx = 0; sx < kW; ++sx) surface.row(sy)[sx] = static_cast<std::uint8_t>(sx * 5 + sy * 31);
    const auto colours = RampColours(scale);
    ASSERT_TRUE(Show(backend(), id, surface, 0, kH, colours, 1));
    // One slot changes: only its block follows.
    surface.row(4)[9] = 250;
    const PixelRect one{9, 4, 10, 5};
    while (!backend().Present(id, surface, std::span(&one, 1), colours, 1)) backend().WaitForEvent(5);
    const auto pixels = ReadBack(id, kW * scale, kH * scale);
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(kW * kH * scale * scale));
    for (int py = 0; py < kH * scale; ++py)
      for (int px = 0; px < kW * scale; ++px)
        ASSERT_EQ(pixels[static_cast<std::size_t>(py * kW * scale + px)],
                  colours[surface.row(py / scale)[px / scale]])
            << px << "," << py;

    probe_.SendMotion(id, 2 * scale + 1, 3 * scale + scale - 1);
    auto motion = NextEvent(Kind::kMotion);
    ASSERT_TRUE(motion.has_value());
    EXPECT_EQ(motion->x, 2);
    EXPECT_EQ(motion->y, 3);
    probe_.SendButton(id, 1, true, 5 * scale, scale - 1);
    auto click = NextEvent(Kind::kButtonDown);
    ASSERT_TRUE(click.has_value());
    EXPECT_EQ(click->x, 5);
    EXPECT_EQ(click->y, 0);
    probe_.WarpPointer(7 * scale + scale - 1, 9 * scale);
    ASSERT_TRUE(backend().CursorPos(&x, &y));
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 9);

    // A preview (or a manager's window) follows the same rule: the child
    // fills its foreign parent, which the programs see divided by s.
    const std::uint32_t host = probe_.CreateWindow(0, 0, 50, 31, "Host", "host");
    EXPECT_EQ(backend().QueryWindow(host).width, 50 / scale);
    EXPECT_EQ(backend().QueryWindow(host).height, 31 / scale);
    const NativeId child = CreateWindow(0, 0, host);
    ASSERT_TRUE(probe_.Geometry(child, &x, &y, &w, &h));
    EXPECT_EQ(w, 50);
    EXPECT_EQ(h, 31);
    EXPECT_EQ(backend().QueryWindow(child).width, 50 / scale);
    probe_.DestroyWindow(host);
  }
}

// A full-screen window at a scale that does not divide the screen: the
// screen pixels beyond the last whole block are black, not left over.
TEST_F(X11BackendTest, ScaledFullScreenClearsWhatTheBlocksDoNotCover) {
  std::string error;
  ASSERT_TRUE(InstallWithScale("3", &error)) << error;
  const int screen_w = probe_.ScreenWidth(), screen_h = probe_.ScreenHeight();
  int width = 0, height = 0;
  backend().ScreenSize(&width, &height);
  if (width * 3 == screen_w && height * 3 == screen_h) GTEST_SKIP() << "3 divides this screen";
  NativeWindowParams params;
  params.topmost_fullscreen = true;
  params.class_name = "OrvoTestClass";
  params.title = "Screen Saver";
  const NativeId id = backend().CreateNativeWindow(params);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(probe_.WaitUntilShown(id));
  Surface surface(width, height);
  for (int y = 0; y < height; ++y) std::memset(surface.row(y), 77, static_cast<std::size_t>(width));
  auto colours = RampColours(0);
  colours[0] = {0, 0, 0};
  ASSERT_NE(colours[77], colours[0]);
  probe_.PaintWhite(id);  // what another client left there
  ASSERT_TRUE(Show(backend(), id, surface, 0, height, colours, 1));
  const auto pixels = ReadBack(id, screen_w, screen_h);
  ASSERT_EQ(pixels.size(), static_cast<std::size_t>(screen_w) * screen_h);
  for (int y = 0; y < screen_h; y += (y + 8 < height * 3 ? 7 : 1)) {
    for (int x = 0; x < screen_w; x += (x + 8 < width * 3 ? 5 : 1)) {
      const bool covered = x < width * 3 && y < height * 3;
      ASSERT_EQ(pixels[static_cast<std::size_t>(y) * screen_w + x], covered ? colours[77] : colours[0])
          << x << "," << y;
    }
  }
}

// Without ORVO_SCALE the desktop's Xft.dpi decides: round(dpi / 96). An
// invalid ORVO_SCALE is reported in one line and ignored.
TEST_F(X11BackendTest, ScaleFollowsTheDesktopResolutionSetting) {
  struct Case {
    const char* resources;
    const char* env;
    int scale;
    bool warns;
  };
  const Case cases[] = {
      {"Xft.dpi:\t192\n", nullptr, 2, false},
      {"Xcursor.size: 24\nXft.dpi: 288\nXft.antialias: 1\n", nullptr, 3, false},
      {"Xft.dpi: 96\n", nullptr, 1, false},
      {"Xft.dpi: 192\n", "1", 1, false},
      {"Xft.dpi: 192\n", "12", 2, true},
      {"Xft.dpi: lots\n", nullptr, 0, false},   // unreadable: the screen's size decides
      {nullptr, nullptr, 0, false},
  };
  // The screen's own size in millimetres gives Xvfb's 100 dpi: scale 1.
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.resources ? c.resources : "(no resources)") + " ORVO_SCALE=" +
                 (c.env ? c.env : "(unset)"));
    probe_.SetResources(c.resources);
    std::string error;
    ::testing::internal::CaptureStderr();
    const bool installed = InstallWithScale(c.env, &error);
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(installed) << error;
    int width = 0;
    backend().ScreenSize(&width, nullptr);
    const int want = c.scale != 0 ? c.scale : 1;
    EXPECT_EQ(width, probe_.ScreenWidth() / want);
    EXPECT_EQ(!said.empty(), c.warns) << said;
    if (c.warns) {
      EXPECT_NE(said.find("ORVO_SCALE"), std::string::npos) << said;
      EXPECT_EQ(said.find('\n'), said.size() - 1) << "one line: " << said;
    }
  }
  probe_.SetResources(nullptr);
}

// --- Windows ---------------------------------------------------------------

TEST_F(X11BackendTest, FullScreenWindowCoversTheScreenAndStaysOnTop) {
  NativeWindowParams params;
  params.topmost_fullscreen = true;
  params.width = 10;  // ignored: the whole screen
  params.height = 10;
  params.class_name = "OrvoTestClass";
  params.title = "Screen Saver";
  const NativeId id = backend().CreateNativeWindow(params);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(probe_.WaitUntilShown(id));
  int width = 0, height = 0;
  backend().ScreenSize(&width, &height);
  EXPECT_EQ(width, probe_.ScreenWidth());
  EXPECT_EQ(height, probe_.ScreenHeight());
  int x = -1, y = -1, w = 0, h = 0;
  ASSERT_TRUE(probe_.Geometry(id, &x, &y, &w, &h));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, width);
  EXPECT_EQ(h, height);
  EXPECT_TRUE(probe_.IsOverrideRedirect(id));
  EXPECT_TRUE(probe_.IsUppermost(id));

  // Another client's window appears on top: ours goes back above it.
  const std::uint32_t other = probe_.CreateWindow(10, 10, 200, 200, "Other", "Other");
  bool on_top = false;
  const std::uint32_t start = backend().TickCount();
  while (!on_top && backend().TickCount() - start < 2000) {
    BackendEvent event;
    while (backend().PollEvent(&event)) {
    }
    backend().WaitForEvent(20);
    on_top = probe_.IsUppermost(id);
  }
  EXPECT_TRUE(on_top);

  // It takes the keyboard and takes it back when another window grabs the focus.
  EXPECT_EQ(probe_.FocusWindow(), id);
  probe_.SetFocus(other);
  bool focused = false;
  const std::uint32_t again = backend().TickCount();
  while (!focused && backend().TickCount() - again < 2000) {
    BackendEvent event;
    while (backend().PollEvent(&event)) {
    }
    backend().WaitForEvent(20);
    focused = probe_.FocusWindow() == id;
  }
  EXPECT_TRUE(focused);
  probe_.DestroyWindow(other);
}

TEST_F(X11BackendTest, ChildOfAForeignWindowTakesItsSizeAndNoticesItsEnd) {
  const std::uint32_t parent = probe_.CreateWindow(30, 30, 200, 150, "Host", "Host");
  const NativeId child = CreateWindow(0, 0, parent);  // no size: the parent's
  ASSERT_NE(child, 0u);
  NativeWindowInfo info = backend().QueryWindow(child);
  EXPECT_TRUE(info.exists);
  EXPECT_TRUE(info.ours);
  EXPECT_EQ(info.parent, parent);
  EXPECT_EQ(info.width, 200);
  EXPECT_EQ(info.height, 150);

  NativeWindowInfo host = backend().QueryWindow(parent);
  EXPECT_TRUE(host.exists);
  EXPECT_FALSE(host.ours);
  EXPECT_EQ(host.width, 200);

  // The host changes size: the child follows and says so.
  probe_.ResizeWindow(parent, 120, 90);
  auto resized = NextEvent(Kind::kResize);
  ASSERT_TRUE(resized.has_value());
  EXPECT_EQ(resized->window, child);
  EXPECT_EQ(resized->width, 120);
  EXPECT_EQ(resized->height, 90);

  // The host goes away: the child is reported destroyed, once.
  probe_.DestroyWindow(parent);
  auto gone = NextEvent(Kind::kDestroyed);
  ASSERT_TRUE(gone.has_value());
  EXPECT_EQ(gone->window, child);
  EXPECT_TRUE(NoEvent(Kind::kDestroyed));
  EXPECT_FALSE(backend().QueryWindow(child).exists);
  // Presenting to it and destroying it are harmless.
  Surface surface(10, 10);
  Show(backend(), child, surface, 0, 10, RampColours(0), 1);
  backend().DestroyNativeWindow(child);
}

TEST_F(X11BackendTest, ChildOfAnAlphaWindowIsOpaque) {
  const std::uint32_t host = probe_.CreateAlphaWindow(30, 20);
  if (host == 0) GTEST_SKIP() << "the server has no 32-bit visual";
  const NativeId child = CreateWindow(0, 0, host);
  ASSERT_NE(child, 0u);
  Surface surface(30, 20);
  for (int y = 0; y < 20; ++y) std::memset(surface.row(y), 12, 30);
  auto colours = RampColours(0);
  colours[12] = {0x12, 0x34, 0x56};
  Show(backend(), child, surface, 0, 20, colours, 1);
  backend().QueryWindow(child);
  std::uint32_t pixel = 0;
  ASSERT_TRUE(probe_.RawPixel(child, 5, 5, &pixel));
  EXPECT_EQ(pixel, 0xFF123456u);
}

TEST_F(X11BackendTest, ChildOfAMissingWindowIsRefused) {
  NativeWindowParams params;
  params.parent = probe_.StaleWindowId();
  params.width = 10;
  params.height = 10;
  EXPECT_EQ(backend().CreateNativeWindow(params), 0u);
}

TEST_F(X11BackendTest, FindsWindowsOfOtherClientsByClassAndTitle) {
  const std::uint32_t other = probe_.CreateWindow(0, 0, 50, 50, "OrvoFindClass", "Find Me");
  EXPECT_EQ(backend().FindNativeWindow("OrvoFindClass", "Find Me"), other);
  EXPECT_EQ(backend().FindNativeWindow("OrvoFindClass", "Find Me Not"), 0u);
  EXPECT_EQ(backend().FindNativeWindow("OtherClass", "Find Me"), 0u);
  EXPECT_EQ(backend().FindNativeWindow("OrvoFindClass", nullptr), other);
  EXPECT_EQ(backend().FindNativeWindow(nullptr, nullptr), 0u);

  // Our own windows are found under their class and current title.
  const NativeId ours = CreateWindow(20, 20);
  EXPECT_EQ(backend().FindNativeWindow("OrvoTestClass", "Orvo Test"), ours);
  backend().SetTitle(ours, "Renamed");
  EXPECT_EQ(backend().FindNativeWindow("OrvoTestClass", "Orvo Test"), 0u);
  EXPECT_EQ(backend().FindNativeWindow("OrvoTestClass", "Renamed"), ours);
  probe_.DestroyWindow(other);
  EXPECT_EQ(backend().FindNativeWindow("OrvoFindClass", "Find Me"), 0u);
}

TEST_F(X11BackendTest, StaleIdsGiveClearAnswersWithoutDying) {
  const NativeId stale = probe_.StaleWindowId();
  EXPECT_FALSE(backend().QueryWindow(stale).exists);
  EXPECT_FALSE(backend().QueryWindow(0).exists);
  EXPECT_FALSE(backend().QueryWindow(0xFFFFFFFFu).exists);
  EXPECT_FALSE(backend().RaiseWindow(stale));
  EXPECT_FALSE(lock_display().SetInputGrab(stale, true));
  backend().SetTitle(stale, "x");
  backend().SetCursorVisible(stale, false);
  backend().DestroyNativeWindow(stale);
  Surface surface(4, 4);
  Show(backend(), stale, surface, 0, 4, RampColours(0), 1);
  // Our own window, once destroyed, is gone as well.
  const NativeId ours = CreateWindow(10, 10);
  EXPECT_TRUE(backend().QueryWindow(ours).exists);
  backend().DestroyNativeWindow(ours);
  EXPECT_FALSE(backend().QueryWindow(ours).exists);
  // The connection still works.
  EXPECT_NE(CreateWindow(10, 10), 0u);
}

TEST_F(X11BackendTest, RaiseAndForeground) {
  const NativeId ours = CreateWindow(30, 30);
  const std::uint32_t other = probe_.CreateWindow(0, 0, 60, 60, "Other", "Other");
  EXPECT_TRUE(probe_.IsUppermost(other));
  EXPECT_TRUE(backend().RaiseWindow(ours));
  backend().QueryWindow(ours);
  EXPECT_TRUE(probe_.IsUppermost(ours));
  EXPECT_EQ(backend().ForegroundWindow(), ours);
  probe_.DestroyWindow(other);
}

// --- Pointer and grabs -------------------------------------------------------

TEST_F(X11BackendTest, CursorPositionIsInScreenCoordinates) {
  probe_.WarpPointer(123, 45);
  int x = 0, y = 0;
  ASSERT_TRUE(backend().CursorPos(&x, &y));
  EXPECT_EQ(x, 123);
  EXPECT_EQ(y, 45);
}

TEST_F(X11BackendTest, GrabNeedsAViewableWindow) {
  NativeWindowParams hidden;
  hidden.width = 10;
  hidden.height = 10;
  hidden.visible = false;
  const NativeId unmapped = backend().CreateNativeWindow(hidden);
  ASSERT_NE(unmapped, 0u);
  EXPECT_FALSE(lock_display().SetInputGrab(unmapped, true));

  const NativeId shown = CreateWindow(20, 20);
  EXPECT_TRUE(lock_display().SetInputGrab(shown, true));
  EXPECT_FALSE(lock_display().SetInputGrab(shown, false));
  // Released: it can be taken again.
  EXPECT_TRUE(lock_display().SetInputGrab(shown, true));
}

// --- Input -------------------------------------------------------------------

TEST_F(X11BackendTest, KeysTranslateToVirtualKeysAndText) {
  const NativeId id = CreateWindow(40, 40);
  struct Case {
    const char* keysym;
    std::uint32_t vk;
    const char* text;
  };
  const Case cases[] = {
      {"a", 'A', "a"},           {"z", 'Z', "z"},
      {"5", '5', "5"},           {"Escape", VK_ESCAPE, "\x1b"},
      {"Return", VK_RETURN, "\r"}, {"Tab", VK_TAB, "\t"},
      {"BackSpace", VK_BACK, "\b"}, {"space", VK_SPACE, " "},
      {"Left", VK_LEFT, ""},     {"Down", VK_DOWN, ""},
      {"Home", VK_HOME, ""},     {"End", VK_END, ""},
      {"F1", VK_F1, ""},         {"F5", VK_F1 + 4, ""},
  };
  for (const Case& c : cases) {
    probe_.SendKey(id, c.keysym, true, false);
    auto down = NextEvent(Kind::kKeyDown);
    ASSERT_TRUE(down.has_value()) << c.keysym;
    EXPECT_EQ(down->window, id);
    EXPECT_EQ(down->vk, c.vk) << c.keysym;
    EXPECT_STREQ(down->text, c.text) << c.keysym;
    EXPECT_FALSE(down->alt);
    probe_.SendKey(id, c.keysym, false, false);
    auto up = NextEvent(Kind::kKeyUp);
    ASSERT_TRUE(up.has_value()) << c.keysym;
    EXPECT_EQ(up->vk, c.vk) << c.keysym;
  }
  probe_.SendKey(id, "x", true, true);
  auto alt = NextEvent(Kind::kKeyDown);
  ASSERT_TRUE(alt.has_value());
  EXPECT_EQ(alt->vk, static_cast<std::uint32_t>('X'));
  EXPECT_TRUE(alt->alt);
}

TEST_F(X11BackendTest, ButtonsWheelAndMotion) {
  const NativeId id = CreateWindow(80, 60);
  for (int button = 1; button <= 3; ++button) {
    probe_.SendButton(id, button, true, 10 + button, 20 + button);
    auto down = NextEvent(Kind::kButtonDown);
    ASSERT_TRUE(down.has_value()) << button;
    EXPECT_EQ(down->button, button);
    EXPECT_EQ(down->x, 10 + button);
    EXPECT_EQ(down->y, 20 + button);
    probe_.SendButton(id, button, false, 10, 20);
    auto up = NextEvent(Kind::kButtonUp);
    ASSERT_TRUE(up.has_value()) << button;
    EXPECT_EQ(up->button, button);
  }
  // The wheel is never a button.
  for (int button = 4; button <= 7; ++button) {
    probe_.SendButton(id, button, true, 5, 5);
    auto wheel = NextEvent(Kind::kWheel);
    ASSERT_TRUE(wheel.has_value()) << button;
    EXPECT_EQ(wheel->button, button);
    probe_.SendButton(id, button, false, 5, 5);
  }
  EXPECT_TRUE(NoEvent(Kind::kButtonDown));
  probe_.SendButton(id, 4, false, 5, 5);
  EXPECT_TRUE(NoEvent(Kind::kButtonUp));

  probe_.SendMotion(id, 17, 23);
  auto motion = NextEvent(Kind::kMotion);
  ASSERT_TRUE(motion.has_value());
  EXPECT_EQ(motion->window, id);
  EXPECT_EQ(motion->x, 17);
  EXPECT_EQ(motion->y, 23);

  // A burst of motions arrives as at least one event that ends at the last
  // position; a key behind them keeps its place.
  for (int i = 1; i <= 20; ++i) probe_.SendMotion(id, i, 2 * i);
  probe_.SendKey(id, "b", true, false);
  backend().QueryWindow(id);
  std::vector<BackendEvent> events;
  for (int spin = 0; spin < 50 && (events.empty() || events.back().kind != Kind::kKeyDown);
       ++spin) {
    BackendEvent event;
    while (backend().PollEvent(&event)) events.push_back(event);
    backend().WaitForEvent(20);
  }
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events.back().kind, Kind::kKeyDown);
  const BackendEvent& last_motion = events[events.size() - 2];
  EXPECT_EQ(last_motion.kind, Kind::kMotion);
  EXPECT_EQ(last_motion.x, 20);
  EXPECT_EQ(last_motion.y, 40);
  EXPECT_LE(events.size(), 21u);
}

// Input generated by the server itself (xdotool drives the XTEST
// extension), routed by pointer position and keyboard focus.
TEST_F(X11BackendTest, RealInputReachesTheFullScreenWindow) {
  if (std::system("xdotool version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
  NativeWindowParams params;
  params.topmost_fullscreen = true;
  params.class_name = "OrvoTestClass";
  params.title = "Screen Saver";
  const NativeId id = backend().CreateNativeWindow(params);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(probe_.WaitUntilShown(id));
  ASSERT_EQ(std::system("xdotool mousemove 40 30"), 0);
  auto motion = NextEvent(Kind::kMotion);
  ASSERT_TRUE(motion.has_value());
  EXPECT_EQ(motion->window, id);
  EXPECT_EQ(motion->x, 40);  // the window sits at 0,0: client = screen
  EXPECT_EQ(motion->y, 30);
  ASSERT_EQ(std::system("xdotool click 3"), 0);
  auto click = NextEvent(Kind::kButtonDown);
  ASSERT_TRUE(click.has_value());
  EXPECT_EQ(click->button, 3);
  ASSERT_EQ(std::system("xdotool click 5"), 0);
  EXPECT_TRUE(NextEvent(Kind::kWheel).has_value());
  ASSERT_EQ(std::system("xdotool key q"), 0);
  auto key = NextEvent(Kind::kKeyDown);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->vk, static_cast<std::uint32_t>('Q'));
  EXPECT_STREQ(key->text, "q");
}

TEST_F(X11BackendTest, ExposeAndCloseRequest) {
  NativeWindowParams params;
  params.decorated = true;
  params.width = 64;
  params.height = 48;
  params.class_name = "OrvoTestClass";
  params.title = "Decorated";
  const NativeId id = backend().CreateNativeWindow(params);
  ASSERT_NE(id, 0u);
  auto expose = NextEvent(Kind::kExpose);
  ASSERT_TRUE(expose.has_value());
  EXPECT_EQ(expose->window, id);
  EXPECT_GT(expose->width, 0);
  EXPECT_GT(expose->height, 0);
  probe_.SendDeleteRequest(id);
  auto close = NextEvent(Kind::kCloseRequest);
  ASSERT_TRUE(close.has_value());
  EXPECT_EQ(close->window, id);
  EXPECT_TRUE(backend().QueryWindow(id).exists);  // closing is the caller's decision
}

// --- Signals and time ----------------------------------------------------------

TEST_F(X11BackendTest, TerminatingSignalBecomesAnEvent) {
  CreateWindow(10, 10);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    ASSERT_EQ(raise(sig), 0);
    backend().WaitForEvent(~0u);  // returns at once: the signal is pending
    auto event = NextEvent(Kind::kTerminate);
    ASSERT_TRUE(event.has_value()) << sig;
    EXPECT_TRUE(NoEvent(Kind::kTerminate)) << sig;  // one signal, one event
  }
  // Without the back end the previous handlers are back.
  InstallBackend(nullptr);
  struct sigaction current {};
  sigaction(SIGTERM, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

TEST_F(X11BackendTest, TickCountFollowsSleeps) {
  const std::uint32_t before = backend().TickCount();
  backend().SleepMs(30);
  const std::uint32_t elapsed = backend().TickCount() - before;
  EXPECT_GE(elapsed, 30u);
  EXPECT_LT(elapsed, 5000u);
}

// A display number that no server holds: neither a lock file nor a socket.
int FreeDisplayNumber(int base) {
  for (int n = base; n < base + 200; ++n) {
    const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
    if (access(lock.c_str(), F_OK) != 0 && access(socket.c_str(), F_OK) != 0) return n;
  }
  return base;
}

// Starts a private X server, connects, kills the server and keeps using the
// connection: the process must end with one line, not hang or crash.
[[noreturn]] void UseAVanishingServer() {
  const int number = FreeDisplayNumber(500 + static_cast<int>(getpid() % 400));
  const std::string name = ":" + std::to_string(number);
  const pid_t server = fork();
  if (server == 0) {
    execlp("Xvfb", "Xvfb", name.c_str(), "-nolisten", "tcp", "-screen", "0", "64x64x24",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  setenv("DISPLAY", name.c_str(), 1);
  std::string error;
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    usleep(50000);
    up = InstallX11Backend(&error);
  }
  if (!up) {
    std::fprintf(stderr, "test server did not start: %s\n", error.c_str());
    kill(server, SIGKILL);
    std::_Exit(3);
  }
  kill(server, SIGKILL);
  waitpid(server, nullptr, 0);
  for (;;) {
    GetBackend().QueryWindow(1);
    BackendEvent event;
    GetBackend().PollEvent(&event);
    usleep(10000);
  }
}

TEST(X11BackendDisplayLoss, EndsTheProcessWithOneLine) {
  if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(UseAVanishingServer(), ::testing::ExitedWithCode(1),
              "lost the connection to the X display");
}

// A private Xvfb of a given depth, on its own display number, for the
// lifetime of the object; DISPLAY points at it meanwhile.
class PrivateServer {
 public:
  explicit PrivateServer(int depth) {
    const char* saved = std::getenv("DISPLAY");
    if (saved) saved_ = saved;
    const int number = FreeDisplayNumber(300 + depth * 10 + static_cast<int>(getpid() % 200));
    name_ = ":" + std::to_string(number);
    const std::string screen = "96x64x" + std::to_string(depth);
    server_ = fork();
    if (server_ == 0) {
      execlp("Xvfb", "Xvfb", name_.c_str(), "-nolisten", "tcp", "-screen", "0", screen.c_str(),
             static_cast<char*>(nullptr));
      _exit(127);
    }
    setenv("DISPLAY", name_.c_str(), 1);
  }
  ~PrivateServer() {
    if (HasBackend()) InstallBackend(nullptr);
    if (server_ > 0) {
      kill(server_, SIGTERM);
      waitpid(server_, nullptr, 0);
    }
    if (saved_.empty()) {
      unsetenv("DISPLAY");
    } else {
      setenv("DISPLAY", saved_.c_str(), 1);
    }
  }

 private:
  pid_t server_ = -1;
  std::string name_;
  std::string saved_;
};

// The colour a channel of `bits` bits shows after the round trip through
// the visual: the top bits, read back scaled to 0..255.
std::uint8_t Quantised(std::uint8_t value, int bits) {
  const unsigned top = value >> (8 - bits);
  return static_cast<std::uint8_t>(top * 255 / ((1u << bits) - 1));
}

void PresentAndCheck(int depth) {
  PrivateServer server(depth);
  std::string error;
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    usleep(50000);
    up = InstallX11Backend(&error);
  }
  ASSERT_TRUE(up) << error;
  X11Probe probe;
  ASSERT_TRUE(probe.ok());
  Backend& backend = GetBackend();
  NativeWindowParams params;
  params.width = 37;
  params.height = 9;
  const NativeId id = backend.CreateNativeWindow(params);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(probe.WaitUntilShown(id));
  // 64 distinct colours, so that a colour-mapped visual has cells for all.
  std::array<Rgb, kSlotCount> colours{};
  for (int i = 0; i < 64; ++i)
    colours[i] = {static_cast<std::uint8_t>(i * 4), static_cast<std::uint8_t>(252 - i * 4),
                  static_cast<std::uint8_t>((i * 40) & 0xFF)};
  Surface surface(37, 9);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 37; ++x) surface.row(y)[x] = static_cast<std::uint8_t>((x + y * 5) % 64);
  Show(backend, id, surface, 0, 9, colours, 1);
  backend.QueryWindow(id);
  std::vector<Rgb> pixels;
  ASSERT_TRUE(probe.ReadPixels(id, 37, 9, &pixels));
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 37; ++x) {
      Rgb expected = colours[surface.row(y)[x]];
      if (depth == 16) {
        expected = {Quantised(expected.r, 5), Quantised(expected.g, 6), Quantised(expected.b, 5)};
      }
      ASSERT_EQ(pixels[static_cast<std::size_t>(y * 37 + x)], expected) << x << "," << y;
    }
  }
}

TEST(X11BackendVisuals, SixteenBitScreen) {
  if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
  PresentAndCheck(16);
}

// A colour-mapped screen: the slot colours go into colour cells.
TEST(X11BackendVisuals, EightBitColourMappedScreen) {
  if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
  PresentAndCheck(8);
}

TEST(X11BackendInstall, NoDisplayIsAOneLineError) {
  const char* saved = std::getenv("DISPLAY");
  const std::string display = saved ? saved : "";
  setenv("DISPLAY", ":4321", 1);
  std::string error;
  EXPECT_FALSE(InstallX11Backend(&error));
  EXPECT_NE(error.find(":4321"), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);
  unsetenv("DISPLAY");
  EXPECT_FALSE(InstallX11Backend(&error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(InstallX11Backend(nullptr));
  if (saved) setenv("DISPLAY", display.c_str(), 1);
}

}  // namespace
}  // namespace orvo::platform
