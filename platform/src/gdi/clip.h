// The one place where drawing is clipped: spans cut to the surface and the
// DC's clip region.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>

#include "gdi/gdi_objects.h"

namespace orvo::platform {

// A pixel coordinate or count worked out beyond 32 bits, so that no sum of
// two 32-bit values overflows (long has only 32 bits on Windows).
using Pos = std::int64_t;

// Calls fn(x0, x1) for each part of the span [x0, x1) on row y that lies
// inside the surface and the clip region (nullptr: none), left to right.
// What fn sees is always on the surface.
template <typename Fn>
void ForEachClippedSpan(const Region* clip, const Surface& surface, int y, Pos x0, Pos x1,
                        Fn&& fn) {
  if (y < 0 || y >= surface.height()) return;
  x0 = std::max<Pos>(x0, 0);
  x1 = std::min<Pos>(x1, surface.width());
  if (x0 >= x1) return;
  if (clip == nullptr) {
    fn(static_cast<int>(x0), static_cast<int>(x1));
    return;
  }
  auto it = std::lower_bound(clip->spans.begin(), clip->spans.end(), y,
                             [](const Span& s, int row) { return s.y < row; });
  for (; it != clip->spans.end() && it->y == y; ++it) {
    const Pos a = std::max<Pos>(x0, it->x0);
    const Pos b = std::min<Pos>(x1, it->x1);
    if (a < b) fn(static_cast<int>(a), static_cast<int>(b));
  }
}

// The same with the DC's selected clip region.
template <typename Fn>
void ForEachClippedSpan(const DeviceContext& dc, const Surface& surface, int y, Pos x0, Pos x1,
                        Fn&& fn) {
  ForEachClippedSpan(ClipRegion(dc), surface, y, x0, x1, std::forward<Fn>(fn));
}

}  // namespace orvo::platform
