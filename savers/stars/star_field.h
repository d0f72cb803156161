// The star field: stars in world space flying towards a camera, projected
// with a fixed perspective and drawn as coloured streaks or single pixels.
#pragma once

#include <cstdint>

#include "framework/palette/palette_engine.h"
#include "orvo/platform.h"

namespace orvo::stars {

inline constexpr int kMaxStars = 500;
inline constexpr double kFocal = 200.0;
inline constexpr double kRestDepth = -125.0;

struct Star {
  double x = 0, y = 0, z = 0;
  std::int32_t sx = 0, sy = 0;  // last projected window position
  float brightness = 0;         // pixel-mode index before truncation, at most 233
};

struct Camera {
  double x = 0, y = 0, z = kRestDepth;
  double width = 0, height = 0, half_width = 0, half_height = 0;
};

// The settings as stored (not clamped).
struct Config {
  int stars = 80;
  int size = 1;
  int speed = 4;
  int type = 0;
  int tweak = 20;
  int effect = 4;
  int shifted = 0;
};

struct Field {
  Star stars[kMaxStars];
  std::int16_t count = 0;
  std::int16_t pen_width = 1;
  std::int16_t speed = 4;
  std::int16_t flags = 0;
  bool pixel_mode = false;
  std::uint16_t frame = 0;
  Camera camera;
  double sway_a = 0, sway_b = 0, sway_c = 0;
};

// 5 x stored value, the stored value taken within 1..100 so the table
// (500 records) is never overrun and the count is never negative.
int StarCount(int stored);

// Projects a point; false (nothing computed) when it is not in front of the
// camera. A point exactly at the camera's depth counts as behind: it has no
// projection.
bool Project(const Camera& camera, double x, double y, double z, std::int32_t* sx,
             std::int32_t* sy);

// New random position (draws x, y, z in that order), brightness 0, projected.
void Respawn(Field& field, Star& star);

// Palette index of the streaks drawn at frame counter `frame`: its low 8
// bits, where 0..234 name palette entries; 235..255 (21 frames in every
// 256) turn back from the top entry, 233 down to 213.
int StreakIndex(std::uint16_t frame);

// A stored size, speed or rotation value as the field holds it: the
// absolute value of its low 16 bits (32767 for -32768).
std::int16_t Abs16(std::int32_t stored);

// The start of an image (the window already black): settings, palette,
// stars and one frame pass with the pen the DC holds.
void Start(Field& field, const Config& config, HDC dc, int width, int height,
           PaletteEngine* engine);
// The width of the streak pen: the pen width, or the smallest width that
// already covers the whole window from any streak's start when wider.
int StreakWidth(const Field& field);
// Moves and draws every star once, then flushes.
void Pass(Field& field, HDC dc);
// One frame step: counter, palette, sway, pen and a pass.
void Step(Field& field, HDC dc, PaletteEngine* engine);
// Camera sway (when the rotation flags reach 8).
void Sway(Field& field);

}  // namespace orvo::stars
