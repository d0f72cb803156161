// Runs a saver through the real shell and host on the headless display and
// hands the test the controls between messages: it can look at the window,
// move the virtual clock, send timer messages or run single frame steps.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "orvo/headless.h"
#include "framework/host/saver_module.h"
#include "orvo/platform.h"
#include "tools/orvo-render/render.h"

namespace orvo::testing {

// Palette index i shows in display slot kFirstSlot + i once the saver's
// palette is realized in the foreground.
inline constexpr int kFirstSlot = 10;

struct ProbeOptions {
  int width = 160;
  int height = 120;
  std::uint32_t clock = 1000000;  // the generator is seeded with its low 16 bits
  // Written into the saver's section before the run ("" writes an empty value).
  std::vector<std::pair<std::string, std::string>> settings;
};

class Probe {
 public:
  // Calls of the script so far (0 in the first, right after set-up).
  int calls() const { return calls_; }
  HWND window() const { return window_; }
  HDC dc() const;
  int width() const;
  int height() const;

  // Posts one timer message, the clock moved on by `advance_ms` first; the
  // host runs its frame steps when the loop delivers it, before the next call.
  void PostTimer(std::uint32_t advance_ms);
  // Runs the saver's frame-step hook once, now, as the host would.
  void FrameStep();

  // The window's frame buffer: display slot numbers (0 is black).
  int Slot(int x, int y) const;
  std::vector<std::uint8_t> Pixels() const;
  int NonBlack() const;

 private:
  friend bool ProbeSaver(const SaverModule&, const ProbeOptions&, const std::function<bool(Probe&)>&);
  const SaverModule* module_ = nullptr;
  HWND window_ = nullptr;
  int calls_ = 0;
};

// Runs `module` full screen on a fresh headless display of the given size,
// with the cursor well away from the hot corner and the configuration in
// $ORVO_CONFIG_DIR. `script` is called whenever the message loop would
// wait; returning false ends the run (tear-down as on a terminating
// signal). Returns false when the saver window never came up.
bool ProbeSaver(const SaverModule& module, const ProbeOptions& options,
                const std::function<bool(Probe&)>& script);

// The seed the host gives the generator at set-up: the low 16 bits of the
// tick count.
inline std::uint32_t SetUpSeed(const render::Options& o) { return o.clock & 0xFFFF; }

// Runs `module` as ProbeSaver does, with the size, clock and settings of
// `o` (its timer fields are not used), and calls `body` once, as soon as
// set-up is done: the generator seeded, the settings read, the first image
// started, before any timer message. `body` may look at the saver, call its
// frame step and move the clock; when it returns, the run ends with the
// saver's tear-down.
void ProbeAfterSetUp(const SaverModule& module, const render::Options& o,
                     const std::function<void()>& body);

// What `window` shows now (presented), as slot numbers.
render::IndexedImage WindowPicture(HWND window);

// Painted (not black) pixels of `image` within `radius` of (cx, cy).
int PaintedWithin(const render::IndexedImage& image, int cx, int cy, int radius);

// Whether the window shows exactly `want` (anything with at(x, y)) over
// width x height; names the first pixel that differs. *painted, when
// given, receives the number of pixels `want` paints (not black).
template <typename Picture>
::testing::AssertionResult WindowShows(const Probe& probe, const Picture& want, int width, int height,
                                       int* painted = nullptr) {
  int count = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (probe.Slot(x, y) != want.at(x, y)) {
        return ::testing::AssertionFailure() << "at " << x << "," << y << " the window shows slot "
                                             << probe.Slot(x, y) << ", not " << int{want.at(x, y)};
      }
      count += want.at(x, y) != 0;
    }
  }
  if (painted != nullptr) *painted = count;
  return ::testing::AssertionSuccess();
}

// What a figure saver shows around a new figure: after `warm_up` calls
// (a timer message each), the clock is moved past the figure's change time
// and one frame step runs. `view` returns the saver's view, with
// figures_started and figure->change_time.
struct FigureChange {
  int painted_before = 0;
  int painted_after = -1;
  long started_before = 0;
  long started_after = 0;
};
template <typename ViewFn>
FigureChange StepPastFigureChange(const SaverModule& module, const ProbeOptions& options, int warm_up,
                                  ViewFn view) {
  FigureChange change;
  ProbeSaver(module, options, [&](Probe& probe) {
    if (probe.calls() < warm_up) {
      probe.PostTimer(16);
      return true;
    }
    change.painted_before = probe.NonBlack();
    change.started_before = view().figures_started;
    headless::SetClock(view().figure->change_time + 1);
    probe.FrameStep();
    change.started_after = view().figures_started;
    change.painted_after = probe.NonBlack();
    return false;
  });
  return change;
}

}  // namespace orvo::testing
