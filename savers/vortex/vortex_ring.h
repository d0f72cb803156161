// The vortex ring: points that start at the window's corners, shrink
// towards the centre and twist, filling the band they sweep with coloured
// quadrilaterals.
#pragma once

#include <cstdint>

#include "orvo/platform.h"

namespace orvo {
struct PaletteEngine;
}

namespace orvo::vortex {

inline constexpr int kMaxPoints = 100;

struct RingPoint {
  std::int16_t x, y;
  std::int16_t prev_x, prev_y;
  std::int16_t offset;  // added to the frame counter for the palette index
  float angle;          // direction from the centre, radians
};

// What an image is made from: the window and the settings as stored (the
// point count already read as a 16-bit value).
struct Config {
  std::int32_t width, height;
  std::int32_t points, scale, amplitude, duration;
  std::int32_t tweak;  // palette duration in seconds
  std::int32_t effect, shifted;
};

// The point count, held where it would break the ring: above 100 at 100
// (the ring holds 100 points), 0 or below at 2, the dialog's minimum (0
// would divide the turn by zero).
std::int16_t Points(std::int32_t stored);
// The image duration in seconds, held within +-2147483 so that the hold
// time stays within the reach of the wrap-safe deadline comparison
// (2^31 ms). Negative values are kept: their deadline lies in the past.
std::int32_t Duration(std::int32_t stored);

struct Ring {
  RingPoint points[kMaxPoints]{};
  std::int16_t n = 2;
  float twist_scale = 3.0f;  // S
  float twist_amplitude = 0.0f;  // A
  DWORD hold_time = 0;
  std::int16_t cx = 0, cy = 0;
  float rho = 0.0f;
  float delta = 3.0f;
  bool mirrored = false;  // odd points count down
  std::int16_t frame = 1;
  bool restart = false;
  int interval = 30;
  DWORD deadline = 0;
};

// An image starts in two parts, because the palette engine is created in
// between on the first image of a run (its creation draws a random number
// too):
// BeginImage: the point count, the twist scale S (the image's first draw),
// the twist amplitude and the hold time.
void BeginImage(Ring& r, const Config& config);
// FinishImage: the palette (duration, effect, ramp decay, wave spread and a
// new palette), then centre, radius, shrink, colour pattern, the ring
// placed and moved once without drawing, the frame counter and the palette
// interval. The deadline is set to now + hold time here as well, so a ring
// that has already vanished (a tiny window) still leads to a new image.
void FinishImage(Ring& r, const Config& config, DWORD now, PaletteEngine* engine);

// Moves the ring once: previous = current, new positions on radius rho,
// rho shrinks, every angle turns by the same twist.
void RingStep(Ring& r);
// Fills the band between the previous and current ring without outline,
// one brush per quadrilateral; the frame counter moves on.
void DrawBand(Ring& r, HDC dc);
// Palette index of quadrilateral i in the current band.
int BandIndex(const Ring& r, int i);

// One frame step: palette tick, ring step and band while rho > 0 (moving
// the deadline), then the restart flag once the tick count is past the
// deadline. The caller clears the window and restarts when it is set.
void Step(Ring& r, HDC dc, DWORD now, PaletteEngine* engine);

}  // namespace orvo::vortex
