#include "present/presentation.h"

#include <cstdint>
#include <vector>

#include "base/system_tick.h"
#include "orvo/backend.h"
#include "orvo/display.h"
#include "orvo/win_gdi.h"
#include "orvo/win_user.h"

namespace orvo::platform {
namespace {

// The system tick of the last presentation attempt.
struct PresentClock {
  bool presented = false;
  std::uint64_t tick = 0;
};
PresentClock g_clock;

bool WantsPresent(const WindowRecord& w) {
  return (w.style & WS_VISIBLE) != 0 &&
         (w.surface.changed() || w.presented_version != Display().version);
}

// Our windows, collected for presentation without allocating each time.
const std::vector<WindowRecord*>& Windows() {
  static std::vector<WindowRecord*> windows;
  CollectWindows(&windows);
  return windows;
}

// Sends a window's changes: everything after a change of colours or when
// most of it changed, else the changed rectangles.
void PresentWindow(WindowRecord& w) {
  if (!WantsPresent(w)) return;
  const DisplayState& d = Display();
  Surface& s = w.surface;
  std::vector<PixelRect>& rects = w.present_rects;
  if (w.presented_version != d.version || s.ChangedTileCount() * 2 > s.tile_columns() * s.tile_rows()) {
    rects.assign(1, PixelRect{0, 0, s.width(), s.height()});
  } else {
    s.ChangedRects(&rects);
  }
  if (!GetBackend().Present(w.native, s, rects, d.slots, d.version)) return;  // busy: next tick
  w.presented_version = d.version;
  s.ClearChanges();
}

}  // namespace

bool AnythingToPresent() {
  for (WindowRecord* w : Windows())
    if (WantsPresent(*w)) return true;
  return false;
}

void RequestPresent() {
  if (!AnythingToPresent()) return;
  const std::uint64_t tick = SystemTickOf(GetBackend().TickCount());
  if (g_clock.presented && tick == g_clock.tick) return;
  g_clock.presented = true;
  g_clock.tick = tick;
  for (WindowRecord* w : Windows()) PresentWindow(*w);
}

void PresentPendingNow() {
  g_clock.presented = true;
  g_clock.tick = SystemTickOf(GetBackend().TickCount());
  for (WindowRecord* w : Windows()) PresentWindow(*w);
}

void PresentWindowNow(WindowRecord& window) { PresentWindow(window); }

void ResetPresentation() { g_clock = PresentClock{}; }

}  // namespace orvo::platform

BOOL GdiFlush() {
  orvo::platform::RequestPresent();
  return TRUE;
}
