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

// What an image is made from: the window and the settings as stored.
struct Config {
  std::int32_t width, height;
  std::int32_t points, scale, amplitude, duration;
  std::int32_t tweak;  // palette duration in seconds
  std::int32_t effect, shifted;
};

// Stored values held where they would break the ring:
// - points to 2..100 (the ring holds 100; 0 or below divides the turn by zero);
// - scale to 1..300 (301 and above make the twist scale 0 or negative:
//   a division by zero, then NaN angles);
// - duration to 0..2000000 seconds (a negative hold time would wrap).
std::int16_t Points(std::int32_t stored);
std::int32_t Scale(std::int32_t stored);
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

// Starts an image: settings, random draws in their fixed order (twist
// scale, wave spread, shrink, colour pattern, palette interval), the
// palette calls (engine may be nullptr), the ring placed and moved once
// without drawing. The deadline is set to now + hold time here as well, so
// a ring that has already vanished still leads to a new image.
void StartImage(Ring& r, const Config& config, DWORD now, PaletteEngine* engine);

// Moves the ring once: previous = current, new positions on radius rho,
// rho shrinks, every angle turns by the same twist.
void RingStep(Ring& r);
// Fills the band between the previous and current ring without outline,
// one brush per quadrilateral; the frame counter moves on.
void DrawBand(Ring& r, HDC dc);
// Palette index of quadrilateral i in the current band.
int BandIndex(const Ring& r, int i);

// One frame step: palette tick, ring step and band while rho > 0 (moving
// the deadline), and once the ring is gone and the deadline reached, the
// restart flag. The caller clears the window and restarts when it is set.
void Step(Ring& r, HDC dc, DWORD now, PaletteEngine* engine);

}  // namespace orvo::vortex
