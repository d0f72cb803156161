// The polygon figure: n vertices bouncing in a box, drawn filled (and
// sometimes outlined) in s copies rotated about the window centre, never
// erased; the fill colour walks up and down the palette.
#pragma once

#include <cstdint>

#include "framework/trail/trail.h"
#include "orvo/platform.h"

namespace orvo {
struct PaletteEngine;
}

namespace orvo::polygon {

inline constexpr int kMaxVertices = 100;
// Milliseconds an image lasts before the window is cleared for a new one.
inline constexpr DWORD kImageTime = 100000;

// What an image is made from: the window and the settings as stored.
struct Config {
  std::int32_t width, height;
  std::int32_t vertices, symmetry, speed, type;
  std::int32_t tweak;  // palette duration in seconds
  std::int32_t effect, shifted;
};

// The settings as an image uses them. Stored values that would break the
// figure are held:
// - vertices to 2..99 (the random choice rand() % n + 2 then stays within
//   the 100-entry tables; fewer than two points draw nothing);
// - symmetry to 1..360 (0 divides the turn by zero; more than one copy per
//   degree adds nothing visible but makes a frame step arbitrarily long);
// - speed to 1..100 (0 or less would divide by zero in the random choice).
std::int16_t Vertices(std::int32_t stored);
std::int16_t Symmetry(std::int32_t stored);
std::int16_t Speed(std::int32_t stored);

// rand() % d, with a divisor of 0 giving 0 (the draw is still made by the
// caller, so later draws keep their order).
std::int32_t ModOrZero(std::int32_t r, std::int32_t d);

// Outline palette index for fill index c: the mirror 235 - c, held to the
// last entry 234 when c is 0.
int OutlineIndex(int c);

using TickFunction = void (*)(PaletteEngine*, int);

struct Figure {
  std::int16_t n = 3, s = 1, v = 1;
  bool random = false;
  std::int32_t width = 0, height = 0;
  std::int16_t cx = 0, cy = 0;
  std::int32_t x_extent = 0, y_extent = 0;  // the box 0..X x 0..Y
  POINT vertices[kMaxVertices]{};
  POINT velocity[kMaxVertices]{};
  float angle_step = 6.2832f;
  bool outline = false;
  trail::ColourWalk colour;  // the fill index c
  DWORD end_time = 0;
  int interval = 30;  // palette step interval in ms
  TickFunction tick = nullptr;  // nullptr: PaletteTick
};

// Starts an image: settings, random choices in their fixed order, and the
// palette calls (engine may be nullptr). Does not clear the window.
void NewFigure(Figure& f, const Config& config, DWORD now, PaletteEngine* engine);

// The points of copy k (0..s - 1) into out[0..n - 1]: the vertices
// rotated by k x angle step about the centre (copy 0 is the polygon).
void CopyPoints(const Figure& f, int k, POINT* out);
// Fills every copy with the selected pen and brush, each followed by one
// palette tick.
void DrawCopies(const Figure& f, HDC dc, PaletteEngine* engine);
// One move of every vertex: an axis whose move would leave the box
// reverses and keeps its coordinate; the other axis moves independently.
void MoveVertices(Figure& f);

// True once the tick count is past the image end time. Compared wrap-safe,
// so an end time beyond the tick count's wrap is not taken as already past.
bool ImageOver(const Figure& f, DWORD now);

// One frame step without the image-time check: next colour, pen and brush,
// the copies, the objects deleted, the vertices moved.
void Step(Figure& f, HDC dc, PaletteEngine* engine);

}  // namespace orvo::polygon
